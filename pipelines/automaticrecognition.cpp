#include "automaticrecognition.h"

#include "annotations.h"
#include "foregroundlearner.h"
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
    int number = 0;  // the source's number of `frame`
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
    // Where the input reads ahead, the caller waits for no live frame: the next frame is
    // read and learnt while this one is worked on.
    const bool learnAhead = capture.readsAhead();
    cv::Mat nextFrame;
    cv::Mat nextForeground;
    int nextNumber = 0;
    bool nextIsLearnt = false;
    bool lastFrame = false;  // the source has no frame after this one
    bool endedByItself = false;
    ForegroundLearner learner;  // declared last, so that it is done before the above go
    auto readNext = [&] {
        if (capture.read(nextFrame, keepWaiting)) {
            nextNumber = capture.framesRead();
            learner.learn(*ptrMOG, nextFrame, nextForeground);
            nextIsLearnt = true;
        } else {
            lastFrame = true;
            endedByItself = !gaveUpWaiting && capture.error().isEmpty();
        }
    };
    SinkAnswer answer;
    for (;;) {
        // A frame drawn again, after a change of lines or regions while it was on show,
        // is neither learnt nor counted nor saved a second time.
        const bool again = answer.action == SinkAnswer::Again;
        if (!again) {
            if (nextIsLearnt) {
                learner.wait();
                cv::swap(frame, nextFrame);
                cv::swap(foreground, nextForeground);
                number = nextNumber;
                nextIsLearnt = false;
            } else {
                if (!capture.read(frame, keepWaiting))
                    return finish(!gaveUpWaiting && capture.error().isEmpty());
                number = capture.framesRead();
                learnForeground(frame, *ptrMOG, foreground);
            }
            if (learnAhead)
                readNext();
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
            found = findObjectsInForeground(foreground, band, lookAt);
            // Lines count the objects they follow: a line drawn during the run turns identities on.
            if (!identities && (methods.identities || !asked->lines().empty()))
                identities = std::make_unique<IdentityTracker>(methods.tracks, capture.description().fps);
            if (identities) {
                objects = identities->update(found);
                for (const Crossing &crossing : counter.update(asked->lines(), objects))
                    results.crossed(number, crossing.line + 1, crossing.track, crossing.direction);
            }
        }

        RecognisedFrame recognised;
        recognised.number = number;
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
        if (answer.action == SinkAnswer::Seek) {
            if (capture.seek(answer.frame)) {
                // A frame learnt ahead is past where the run goes on, and of the old model.
                if (nextIsLearnt)
                    learner.discard();
                nextIsLearnt = false;
                lastFrame = false;
                // From there, the scene is learnt anew and the objects numbered on.
                ptrMOG = createDetector(methods.detector);
                if (identities)
                    identities = std::make_unique<IdentityTracker>(methods.tracks, capture.description().fps);
                counter.forgetObjects();
            }
        } else if (answer.action == SinkAnswer::Next && lastFrame) {
            return finish(endedByItself);
        }
    }
}

std::vector<cv::Rect> findMovingObjects(const cv::Mat &frame, cv::BackgroundSubtractor &ptrMOG, cv::Mat &foreground,
                                        const SizeBand &band, const cv::Mat &lookAt)
{
    learnForeground(frame, ptrMOG, foreground);
    return findObjectsInForeground(foreground, band, lookAt);
}

std::vector<cv::Rect> findObjectsInForeground(cv::Mat &foreground, const SizeBand &band, const cv::Mat &lookAt)
{
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
