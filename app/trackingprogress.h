#ifndef TRACKINGPROGRESS_H
#define TRACKINGPROGRESS_H

class QProgressBar;

// The progress bar of the manual recognition. On the bundled clip it counts every frame
// tracked since the window opened, against the form's maximum. On a chosen source it
// counts the frames of this run, against the number the run will track where the
// source tells it, and is a busy indicator where it does not (a camera, a stream).
class TrackingProgress
{
public:
    TrackingProgress(QProgressBar *bar, int *trackedFrames);

    // `framesToTrack` is 0 where the source does not know.
    void start(bool bundled, int framesToTrack);
    void frameTracked();
    // A source that ended by itself leaves the bar full, whatever its count said.
    void finish(bool sourceEnded);

private:
    QProgressBar *bar;
    int *trackedFrames;
    int formMaximum = -1;
    bool bundled = true;
    int runFrames = 0;
};

#endif // TRACKINGPROGRESS_H
