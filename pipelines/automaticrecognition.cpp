#include "automaticrecognition.h"

#include "annotations.h"
#include "videoinput.h"

#include <QCoreApplication>

#include <opencv2/imgproc.hpp>
#include <opencv2/video/background_segm.hpp>

#include <memory>

namespace {

void drawBoxes(cv::Mat &image, const std::vector<cv::Rect> &boxes)
{
    for (const cv::Rect &box : boxes)
        cv::rectangle(image, box, cv::Scalar(0, 255, 0), 1, cv::LINE_8, 0);
}

} // namespace

bool runAutomaticRecognition(VideoInput &capture, const MethodChoice &methods, const SceneAnalysis &analysis,
                             const ResultFiles &files, RecognitionSink &sink)
{
    RunResults results(files, capture.description().fps, [&sink](const QString &problem) { sink.problem(problem); });
    bool gaveUpWaiting = false;
    auto keepWaiting = [&] {
        gaveUpWaiting = !sink.keepWaiting();
        return !gaveUpWaiting;
    };
    auto finish = [&](bool sourceEnded) {
        results.finish();
        if (results.isScored())
            sink.scored(results.score());
        return sourceEnded;
    };

    cv::Mat frame;
    cv::Mat foreground;
    // A method or a band chosen during the run applies from the next run.
    cv::Ptr<cv::BackgroundSubtractor> ptrMOG = createDetector(methods.detector);
    const SizeBand band = methods.band;
    std::unique_ptr<IdentityTracker> identities;
    LineCounter counter;
    cv::Mat lookAt;  // where the regions let objects be detected
    int regionsVersion = -1;
    std::vector<cv::Rect> found;
    std::vector<IdentifiedObject> objects;
    // Lines and regions that do not fit the video are said once, and left out.
    const SceneAnalysis none;
    const SceneAnalysis *asked = &analysis;
    const bool pictures = sink.wantsPictures() || !files.video.isEmpty();
    SinkAnswer answer;
    for (;;) {
        // A frame drawn again, after a change of lines or regions while it was on show,
        // is neither learnt nor counted nor saved a second time.
        const bool again = answer.action == SinkAnswer::Again;
        if (!again) {
            if (!capture.read(frame, keepWaiting))
                return finish(!gaveUpWaiting && capture.error().isEmpty());
            if (asked == &analysis && analysis.version() != regionsVersion) {
                const QString misfit = analysis.problemOn(frame.size());
                if (!misfit.isEmpty()) {
                    sink.problem(QCoreApplication::translate("AutomaticRecognition", "The lines and regions are left "
                                                                                   "out: %1.").arg(misfit));
                    asked = &none;
                }
                lookAt = asked->detectionMask(frame.size());
                regionsVersion = analysis.version();
            }
            found = findMovingObjects(frame, *ptrMOG, foreground, band, lookAt);
            // Lines count the objects they follow: a line drawn during the run turns identities on.
            if (!identities && (methods.identities || !asked->lines().empty()))
                identities = std::make_unique<IdentityTracker>(methods.tracks, capture.description().fps);
            if (identities) {
                objects = identities->update(found);
                for (const Crossing &crossing : counter.update(asked->lines(), objects))
                    results.crossed(capture.framesRead(), crossing.line + 1, crossing.track, crossing.direction);
            }
        }

        RecognisedFrame recognised;
        recognised.number = capture.framesRead();
        if (identities) {
            for (const IdentifiedObject &object : objects) {
                recognised.boxes.push_back(object.box);
                recognised.ids.push_back(object.id);
            }
        } else {
            recognised.boxes = found;
            recognised.ids.assign(found.size(), RunResults::noIdentity);
        }
        if (pictures) {
            if (methods.maskView)
                cv::cvtColor(foreground, recognised.shown, cv::COLOR_GRAY2BGR);
            else
                recognised.shown = frame.clone();
            if (!asked->isEmpty())
                drawAnalysis(recognised.shown, *asked, counter.counts());
            if (identities)
                drawIdentifiedObjects(recognised.shown, objects);
            else
                drawBoxes(recognised.shown, recognised.boxes);
        }
        recognised.counts = counter.counts();
        if (!again)
            results.frameShown(recognised.number, recognised.shown, recognised.boxes, recognised.ids);

        answer = sink.frameDone(recognised);
        if (answer.action == SinkAnswer::Stop)
            return finish(false);
        if (answer.action == SinkAnswer::Seek && capture.seek(answer.frame)) {
            // From there, the scene is learnt anew and the objects numbered on.
            ptrMOG = createDetector(methods.detector);
            if (identities)
                identities = std::make_unique<IdentityTracker>(methods.tracks, capture.description().fps);
            counter.forgetObjects();
        }
    }
}

std::vector<cv::Rect> findMovingObjects(const cv::Mat &frame, cv::BackgroundSubtractor &ptrMOG, cv::Mat &foreground,
                                        const SizeBand &band, const cv::Mat &lookAt)
{
    ptrMOG.apply(frame, foreground, 0.03);
    // A MOG2 mask without shadows holds only 0 and 255 already: the threshold would
    // change nothing, and costs 2 to 5 % of a frame.
    const auto *mog2 = dynamic_cast<const cv::BackgroundSubtractorMOG2 *>(&ptrMOG);
    if (!mog2 || mog2->getDetectShadows())
        cv::threshold(foreground, foreground, 25, 255, cv::THRESH_BINARY);

    // Erode away speckle, then dilate more than was eroded to join the pieces of one object.
    cv::Mat kernel_erode = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5), cv::Point(-1, -1));
    cv::Mat kernel_dilate = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(11, 11), cv::Point(-1, -1));
    cv::erode(foreground, foreground, kernel_erode, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
              cv::morphologyDefaultBorderValue());
    cv::dilate(foreground, foreground, kernel_dilate, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
               cv::morphologyDefaultBorderValue());
    // What lies in an ignored region, or outside the watched ones, makes no blob.
    if (!lookAt.empty())
        cv::bitwise_and(foreground, lookAt, foreground);

    return findMiddlingContours(foreground, band);
}

std::vector<cv::Rect> markMovingObjects(const cv::Mat &frame, cv::BackgroundSubtractor &ptrMOG,
                                        cv::Mat &foreground, cv::Mat &result, const SizeBand &band)
{
    const std::vector<cv::Rect> boxes = findMovingObjects(frame, ptrMOG, foreground, band);
    drawBoxes(result, boxes);
    return boxes;
}

std::vector<cv::Rect> findMiddlingContours(const cv::Mat &mask, const SizeBand &band)
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
        if (band.admits(area))
            boxes.push_back(cv::boundingRect(contours[i]));
    }
    return boxes;
}

std::vector<cv::Rect> boxMiddlingContours(const cv::Mat &mask, cv::Mat &result, const SizeBand &band)
{
    const std::vector<cv::Rect> boxes = findMiddlingContours(mask, band);
    drawBoxes(result, boxes);
    return boxes;
}

cv::Mat maskWithBoxes(const cv::Mat &foreground, const std::vector<cv::Rect> &boxes)
{
    cv::Mat view;
    cv::cvtColor(foreground, view, cv::COLOR_GRAY2BGR);
    drawBoxes(view, boxes);
    return view;
}

void drawIdentifiedObjects(cv::Mat &image, const std::vector<IdentifiedObject> &objects)
{
    const cv::Scalar green(0, 255, 0);
    const int thickness = lineThickness(image.size());
    for (const IdentifiedObject &object : objects) {
        drawTrail(image, object.trail, green);
        cv::rectangle(image, object.box, green, thickness, cv::LINE_8, 0);
        drawNumber(image, object.box, object.id, green);
    }
}
