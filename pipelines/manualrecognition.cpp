#include "manualrecognition.h"

#include "annotations.h"
#include "regionselection.h"
#include "videoinput.h"

#include <opencv2/imgproc.hpp>

bool startTracking(cv::Tracker &tracker, const cv::Mat &frame, const cv::Rect &region)
{
    if (frame.empty())
        return false;
    try {
        tracker.init(frame, region);
        return true;
    } catch (const cv::Exception &) {
        return false;
    }
}

bool followObject(cv::Tracker &tracker, const cv::Mat &frame, cv::Rect &region)
{
    try {
        return tracker.update(frame, region);
    } catch (const cv::Exception &) {
        return false;
    }
}

bool trackAndMark(cv::Tracker &tracker, cv::Mat &frame, cv::Rect &region)
{
    const bool ok = followObject(tracker, frame, region);
    if (ok)
        cv::rectangle(frame, region, cv::Scalar(255, 0, 0), 2, 1, 0);
    return ok;
}

bool runManualRecognition(VideoInput &capture, const MethodChoice &methods, const ResultFiles &files,
                          cv::Mat &firstFrame, std::vector<cv::Rect> &regions, RecognitionSink &sink)
{
    bool gaveUpWaiting = false;
    auto keepWaiting = [&] {
        gaveUpWaiting = !sink.keepWaiting();
        return !gaveUpWaiting;
    };
    capture.read(firstFrame, keepWaiting);

    // Let the user mark the objects on the first frame.
    bool goesOn = !gaveUpWaiting;
    if (!firstFrame.empty())
        goesOn = sink.selectRegions(firstFrame, regions, methods.severalTargets) && goesOn;

    // The regions were drawn on the first frame; tracking starts on the second.
    cv::Mat frame;
    if (goesOn)
        capture.read(frame, keepWaiting);
    std::vector<cv::Ptr<cv::Tracker>> trackers;
    std::vector<bool> tracking;
    for (cv::Rect &region : regions) {
        if (!frame.empty())
            region = clipToImage(region, frame.size());  // a region kept from a larger video
        trackers.push_back(createTracker(methods.tracker));
        tracking.push_back(startTracking(*trackers.back(), frame, region));
    }
    const bool numbered = methods.severalTargets;

    sink.trackingStarts(capture.framesInRange() - 2);
    RunResults results(files, capture.description().fps, [&sink](const QString &problem) { sink.problem(problem); });
    auto finish = [&](bool sourceEnded) {
        results.finish();
        if (results.isScored())
            sink.scored(results.score());
        return sourceEnded;
    };
    while (goesOn && !gaveUpWaiting) {
        if (!capture.read(frame, keepWaiting))
            return finish(!gaveUpWaiting && capture.error().isEmpty());
        RecognisedFrame recognised;
        recognised.number = capture.framesRead();
        // Every tracker sees the frame as it came, before any box is drawn on it.
        std::vector<bool> found(trackers.size());
        for (size_t i = 0; i < trackers.size(); ++i)
            found[i] = tracking[i] && followObject(*trackers[i], frame, regions[i]);
        for (size_t i = 0; i < trackers.size(); ++i) {
            if (!found[i])
                continue;
            const int id = numbered ? static_cast<int>(i) + 1 : RunResults::trackedObject;
            cv::rectangle(frame, regions[i], cv::Scalar(255, 0, 0), 2, 1, 0);
            if (numbered)
                drawNumber(frame, regions[i], id, cv::Scalar(255, 0, 0));
            recognised.boxes.push_back(regions[i]);
            recognised.ids.push_back(id);
        }
        results.frameShown(recognised.number, frame, recognised.boxes, recognised.ids);
        // Handed over: the next frame is decoded into memory of its own.
        recognised.shown = std::move(frame);
        goesOn = sink.frameDone(recognised).action != SinkAnswer::Stop;
    }
    return finish(false);
}
