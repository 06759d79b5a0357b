#include "manualrecognition.h"

#include "backgroundaudio.h"
#include "kestrovix.h"
#include "keywait.h"
#include "regionselection.h"
#include "resourcedirectory.h"

#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cstdio>

bool startTracking(cv::TrackerCSRT &tracker, const cv::Mat &frame, const cv::Rect &region)
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

bool trackAndMark(cv::TrackerCSRT &tracker, cv::Mat &frame, cv::Rect &region)
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

    cv::Mat frame;
    cv::VideoCapture capture;
    // FFmpeg alone: for a file it refuses (a cut-off MP4), OpenCV would go on to
    // GStreamer, which can wait for ever on it.
    capture.open(resourcePath("video3.mp4"), cv::CAP_FFMPEG);
    if (!capture.isOpened()) {
        std::fputs("can not open ...\n", stdout);
        std::fflush(stdout);
    }
    capture.read(g_firstFrame);

    // Let the user mark the object on the first frame.
    if (!g_firstFrame.empty()) {
        waitKeyPumping(30);
        showInWindow("output", g_firstFrame);
        cv::setMouseCallback("output", onMouse, nullptr);
        waitKeyPumping(0);
    }

    // The region was drawn on the first frame; tracking starts on the second.
    cv::Ptr<cv::TrackerCSRT> tracker = cv::TrackerCSRT::create(cv::TrackerCSRT::Params());
    capture.read(frame);
    if (!frame.empty())
        g_roi = clipToImage(g_roi, frame.size());  // a region kept from a larger video
    bool tracking = startTracking(*tracker, frame, g_roi);

    // A window closed mid-run is hidden: the run ends with it.
    while (isVisible()) {
        if (!capture.read(frame))
            break;
        if (tracking)
            trackAndMark(*tracker, frame, g_roi);
        presentFrame(frame);

        if (waitKeyPumping(1) == 113)  // "q"
            break;
        ++trackedFrames;
        ui.progressBar_2->setValue(trackedFrames);
    }

    capture.release();
    destroyAllWindowsNow();
    quitIfClosed();
}
