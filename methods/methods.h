#ifndef METHODS_H
#define METHODS_H

#include "sizeband.h"
#include "trackparameters.h"

#include <QString>
#include <QStringList>

#include <opencv2/video/background_segm.hpp>
#include <opencv2/video/tracking.hpp>

// The methods the recognitions can use, by their lower-case names ("mog2", "csrt"),
// as the command line and the settings name them.
QStringList detectorNames();
QStringList trackerNames();
// "MOG2", "MedianFlow": a method's name as people write it.
QString displayName(const QString &method);

// The background model of the automatic recognition as it always was: MOG2 with a
// history of 500 frames, a variance threshold of 16 and no shadow detection.
cv::Ptr<cv::BackgroundSubtractorMOG2> createMovingObjectModel();

// A background model for the automatic recognition, with OpenCV's defaults for the
// method but no shadow detection; MOG2 exactly as the recognition always had it.
// Null for a name not in detectorNames().
cv::Ptr<cv::BackgroundSubtractor> createDetector(const QString &name);
// A tracker for the manual recognition with OpenCV's defaults; the legacy ones brought
// to the current interface. Null for a name not in trackerNames().
cv::Ptr<cv::Tracker> createTracker(const QString &name);

// What the recognitions use: the methods, the size band and what the automatic run shows.
struct MethodChoice
{
    QString detector = "mog2";
    QString tracker = "csrt";
    SizeBand band;
    bool maskView = false;  // the foreground mask instead of the frame
    bool identities = false;  // the automatic recognition numbers its objects and follows them
    TrackParameters tracks;
    bool severalTargets = false;  // the manual recognition follows every object drawn

    // As the window last left it, or the defaults.
    static MethodChoice stored();
    void store() const;
    // "MOG2, area 500–1000 · CSRT" ("…, identities · CSRT, several targets"): for the status bar.
    QString summary() const;
};

#endif // METHODS_H
