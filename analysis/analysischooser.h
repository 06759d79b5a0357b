#ifndef ANALYSISCHOOSER_H
#define ANALYSISCHOOSER_H

#include "linecounter.h"
#include "sceneanalysis.h"
#include "videosource.h"

#include <QObject>

#include <functional>

class QAction;
class QLabel;
class QMenuBar;
class QStatusBar;
class QWidget;

// The "Analysis" menu, where the user adds counting lines and regions to watch or to
// ignore, drawn on the picture, or removes them; a label in the status bar that tells
// the counts, or what went wrong. What is drawn is kept in the settings for each
// source, and offered again when that source is chosen; what the command line gives is
// for that start only.
class AnalysisChooser : public QObject
{
    Q_OBJECT

public:
    enum Shape { Line, IgnoredRegion, WatchedRegion };

    AnalysisChooser(QMenuBar *menuBar, QStatusBar *statusBar, QWidget *window);

    // Read by a run for every frame: it may change during one.
    const SceneAnalysis &analysis() const { return current; }
    void useSource(const VideoSource &source);
    void setFromCommandLine(const SceneAnalysis &analysis);

    // Adds what was drawn on a picture of `frameSize`, or says why it cannot be added.
    void addLine(const CountingLine &line, const cv::Size &frameSize);
    void addRegion(const SceneRegion &region, const cv::Size &frameSize);

    void showCounts(const std::vector<LineCount> &counts);
    void report(const QString &problem);

signals:
    // The user asked to draw a shape on the picture.
    void drawingAsked(AnalysisChooser::Shape shape);
    void lineAdded();

private:
    void changed();

    QLabel *label;
    SceneAnalysis current;
    QString sourceKey;
    bool fromCommandLine = false;
};

#endif // ANALYSISCHOOSER_H
