#include "automaticrecognition.h"

#include "backgroundaudio.h"
#include "kestrovix.h"
#include "keywait.h"
#include "methodchooser.h"
#include "resultchooser.h"
#include "videoinput.h"

#include <opencv2/imgproc.hpp>

cv::Ptr<cv::BackgroundSubtractorMOG2> createMovingObjectModel()
{
    return cv::createBackgroundSubtractorMOG2(500, 16.0, false);
}

std::vector<cv::Rect> markMovingObjects(const cv::Mat &frame, cv::BackgroundSubtractor &ptrMOG,
                                        cv::Mat &foreground, cv::Mat &result, const SizeBand &band)
{
    ptrMOG.apply(frame, foreground, 0.03);
    cv::threshold(foreground, foreground, 25, 255, cv::THRESH_BINARY);

    // Erode away speckle, then dilate more than was eroded to join the pieces of one object.
    cv::Mat kernel_erode = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5), cv::Point(-1, -1));
    cv::Mat kernel_dilate = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(11, 11), cv::Point(-1, -1));
    cv::erode(foreground, foreground, kernel_erode, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
              cv::morphologyDefaultBorderValue());
    cv::dilate(foreground, foreground, kernel_dilate, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
               cv::morphologyDefaultBorderValue());

    return boxMiddlingContours(foreground, result, band);
}

std::vector<cv::Rect> boxMiddlingContours(const cv::Mat &mask, cv::Mat &result, const SizeBand &band)
{
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE, cv::Point(0, 0));

    std::vector<cv::Rect> boxes;
    std::vector<cv::Point> hull;
    for (size_t i = 0; i < contours.size(); ++i) {
        // Judge the size by the hull, so that a ragged outline counts as the object it encloses,
        // but box the contour itself.
        cv::convexHull(contours[i], hull, false, true);
        const double area = cv::contourArea(hull, false);
        if (band.admits(area)) {
            const cv::Rect rect = cv::boundingRect(contours[i]);
            cv::rectangle(result, rect, cv::Scalar(0, 255, 0), 1, cv::LINE_8, 0);
            boxes.push_back(rect);
        }
    }
    return boxes;
}

cv::Mat maskWithBoxes(const cv::Mat &foreground, const std::vector<cv::Rect> &boxes)
{
    cv::Mat view;
    cv::cvtColor(foreground, view, cv::COLOR_GRAY2BGR);
    for (const cv::Rect &box : boxes)
        cv::rectangle(view, box, cv::Scalar(0, 255, 0), 1, cv::LINE_8, 0);
    return view;
}

void Kestrovix::onOpencvpic()
{
    startBackgroundAudioOnce();
    ui.progressBar_2->setVisible(false);

    // The run ends on a key, when the window closes, or when another source is chosen.
    const int generation = sourceGeneration;
    bool stop = false;
    // Serves the window while a stream or a camera keeps the run waiting.
    auto serve = [&] {
        if (waitKeyPumping(2) >= 0)
            stop = true;
        return !stop && runGoesOn(generation);
    };

    VideoInput capture;
    if (!openSource(capture, "bike.avi", serve)) {
        quitIfClosed();
        return;
    }

    const MethodChoice methods = methodChooser->choice();
    RunResults results(resultChooser->files(), capture.description().fps, reportResultProblem());
    cv::Mat frame;
    cv::Mat foreground;
    cv::Mat result;
    cv::Ptr<cv::BackgroundSubtractor> ptrMOG = createDetector(methods.detector);
    while (!stop) {
        if (!capture.read(frame, serve))
            break;
        result = frame.clone();
        const std::vector<cv::Rect> boxes = markMovingObjects(frame, *ptrMOG, foreground, result, methods.band);
        // The view can be switched during the run.
        if (methodChooser->choice().maskView)
            result = maskWithBoxes(foreground, boxes);
        results.frameShown(capture.framesRead(), result, boxes, RunResults::noIdentity);
        // Handed over: the next frame gets a copy of its own.
        presentFrame(std::move(result));
        sourceStatus.showFrame(capture.framesRead());

        if (waitKeyPumping(10) >= 0)
            stop = true;
        // A window closed mid-run must not go on playing the video unseen.
        if (!runGoesOn(generation))
            stop = true;
    }
    finishRun(capture, generation);
    quitIfClosed();
}
