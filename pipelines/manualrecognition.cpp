#include "manualrecognition.h"

#include "backgroundaudio.h"
#include "kestrovix.h"
#include "keywait.h"
#include "methodchooser.h"
#include "regionselection.h"
#include "resultchooser.h"
#include "videoinput.h"

#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>

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

bool trackAndMark(cv::Tracker &tracker, cv::Mat &frame, cv::Rect &region)
{
    bool ok = false;
    try {
        ok = tracker.update(frame, region);
    } catch (const cv::Exception &) {
        ok = false;
    }
    if (ok)
        cv::rectangle(frame, region, cv::Scalar(255, 0, 0), 2, 1, 0);
    return ok;
}

void Kestrovix::videoplay()
{
    startBackgroundAudioOnce();
    ui.progressBar_2->setVisible(true);

    // The run ends on "q", when the window closes, or when another source is chosen.
    const int generation = sourceGeneration;
    const bool onBundledClip = source.kind == VideoSource::Bundled;
    bool quit = false;
    // Serves the window while a stream or a camera keeps the run waiting.
    auto serve = [&] {
        if (waitKeyPumping(2) == 113)  // "q"
            quit = true;
        return !quit && runGoesOn(generation);
    };

    cv::Mat frame;
    VideoInput capture;
    if (!openSource(capture, "video3.mp4", serve)) {
        if (!onBundledClip) {
            quitIfClosed();
            return;
        }
        std::fputs("can not open ...\n", stdout);
        std::fflush(stdout);
    }
    capture.read(g_firstFrame, serve);

    // Let the user mark the object on the first frame.
    if (!g_firstFrame.empty()) {
        waitKeyPumping(30);
        showInWindow("output", g_firstFrame);
        cv::setMouseCallback("output", onMouse, nullptr);
        waitKeyPumping(0);
    }

    // The region was drawn on the first frame; tracking starts on the second.
    cv::Ptr<cv::Tracker> tracker = createTracker(methodChooser->choice().tracker);
    if (runGoesOn(generation))
        capture.read(frame, serve);
    if (!frame.empty())
        g_roi = clipToImage(g_roi, frame.size());  // a region kept from a larger video
    bool tracking = startTracking(*tracker, frame, g_roi);

    trackingProgress.start(onBundledClip, capture.description().frameCount - 2);
    RunResults results(resultChooser->files(), capture.description().fps, reportResultProblem());
    bool sourceEnded = false;
    // A window closed mid-run is hidden: the run ends with it.
    while (runGoesOn(generation) && !quit) {
        if (!capture.read(frame, serve)) {
            sourceEnded = capture.error().isEmpty() && !quit && runGoesOn(generation);
            break;
        }
        const bool found = tracking && trackAndMark(*tracker, frame, g_roi);
        results.frameShown(capture.framesRead(), frame, found ? std::vector<cv::Rect>{g_roi} : std::vector<cv::Rect>(),
                           RunResults::trackedObject);
        // Handed over: the next frame is decoded into memory of its own.
        presentFrame(std::move(frame));
        sourceStatus.showFrame(capture.framesRead());

        if (waitKeyPumping(1) == 113)  // "q"
            break;
        trackingProgress.frameTracked();
    }
    trackingProgress.finish(sourceEnded);

    capture.release();
    destroyAllWindowsNow();
    finishRun(capture, generation);
    quitIfClosed();
}
