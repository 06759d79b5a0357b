#ifndef RECOGNITIONSINK_H
#define RECOGNITIONSINK_H

#include "linecounter.h"
#include "motscore.h"

#include <QString>

#include <opencv2/core.hpp>

#include <vector>

// One frame as a recognition has processed it.
struct RecognisedFrame
{
    int number = 0;               // the source's frame number, from 1
    cv::Mat shown;                // the frame with its boxes drawn (or the mask view), the sink's to keep
    std::vector<cv::Rect> boxes;  // the boxes drawn, as the rows saved for it
    std::vector<int> ids;         // each box's id in those rows: its object's number, or -1
    std::vector<LineCount> counts;  // so far, at each counting line
};

// What a run does once a sink has a frame.
struct SinkAnswer
{
    enum Action {
        Next,   // goes on with the next frame
        Again,  // draws the same frame anew, the analysis having changed while it was on show
        Seek,   // goes on from `frame` (from 1), learning the scene anew
        Stop,
    };
    Action action = Next;
    int frame = 0;
};

// Where a recognition run sends what it finds, and what paces it: the main window,
// which shows every frame and serves its events, or a program without a window.
class RecognitionSink
{
public:
    virtual ~RecognitionSink() = default;

    // Each frame once processed and its rows saved.
    virtual SinkAnswer frameDone(RecognisedFrame &frame) = 0;
    // Called every few milliseconds while the source keeps the run waiting (a stream,
    // a camera, a slow file). False gives up waiting, and ends the run.
    virtual bool keepWaiting() = 0;
    // Whether it looks at the frames: without, the run draws none (a recording draws its own).
    virtual bool wantsPictures() const { return true; }
    // A result file cannot be written, or the ground truth read: said once for each;
    // the run goes on without it.
    virtual void problem(const QString &message) = 0;
    // The run has ended, and its rows have been scored against the ground truth.
    virtual void scored(const MotScore &score) { (void)score; }

    // The manual recognition's objects, marked on the first frame: `regions` holds one
    // region, the one marked before, and is where the selection leaves the objects (one,
    // or with `several`, any number). False ends the run.
    virtual bool selectRegions(const cv::Mat &firstFrame, std::vector<cv::Rect> &regions, bool several)
    {
        (void)firstFrame;
        (void)regions;
        (void)several;
        return true;
    }
    // The manual recognition starts tracking, with this many frames to track (0 where
    // the source does not tell).
    virtual void trackingStarts(int framesToTrack) { (void)framesToTrack; }
};

#endif // RECOGNITIONSINK_H
