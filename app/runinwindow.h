#ifndef RUNINWINDOW_H
#define RUNINWINDOW_H

#include "recognitionsink.h"

#include <QElapsedTimer>

class Kestrovix;

// A recognition run as the main window shows it: every frame in the picture area and
// its number in the status bar, then the wait that paces the run and serves the
// window. The run ends on its stop key, when the window closes, or when another source
// is chosen. The manual run marks its objects in the HighGUI window "output" and counts
// its frames on the progress bar. A run's score against the ground truth is shown at
// its end.
class RunInWindow : public RecognitionSink
{
public:
    static constexpr int anyKey = -1;

    // `stopKey` is a key's code, or anyKey; `frameMilliseconds` the wait after each frame.
    RunInWindow(Kestrovix &window, int stopKey, int frameMilliseconds);

    SinkAnswer frameDone(RecognisedFrame &frame) override;
    bool keepWaiting() override;
    void problem(const QString &message) override;
    void scored(const MotScore &score) override;
    bool selectRegions(const cv::Mat &firstFrame, std::vector<cv::Rect> &regions, bool several) override;
    void trackingStarts(int framesToTrack) override;

    // The window is open, still on the source the run began with, and no stop key came.
    bool goesOn() const;
    // The window's source when the run began: it counts the changes of source.
    int generation() const { return sourceGeneration; }

private:
    // Space pauses and resumes; → steps a frame while paused.
    static bool isPauseKey(int key) { return key == ' '; }
    static bool isStepKey(int key);
    bool isStopKey(int key) const
    {
        return stopKey == anyKey ? key >= 0 && !isPauseKey(key) && !isStepKey(key) : key == stopKey;
    }
    // What the status bar says of the frame on show, besides its number.
    QString note() const;

    Kestrovix &window;
    int stopKey;
    int frameMilliseconds;
    int sourceGeneration;
    bool onBundledClip;
    bool tracking = false;  // a manual run, counting its frames
    bool stopped = false;
    bool paused = false;
    int soughtFrame = 0;  // the frame the run last moved to
    QElapsedTimer sinceSought;
};

#endif // RUNINWINDOW_H
