#ifndef AUTOMATICRECOGNITION_H
#define AUTOMATICRECOGNITION_H

#include <opencv2/core.hpp>
#include <opencv2/video/background_segm.hpp>

#include "identitytracker.h"
#include "methods.h"
#include "recognitionsink.h"
#include "runresults.h"
#include "sceneanalysis.h"

#include <vector>

class VideoInput;

// The automatic recognition over `capture`, opened, from its next frame to its end:
// every frame learnt into the background model of `methods`, its moving objects of a
// middling size found where the regions of `analysis` let them be and boxed in green
// (with identities on, numbered, followed and counted at the lines), their rows and
// crossings saved to `files`, and the frame handed to `sink`, which may seek, ask for
// it drawn anew, or end the run. The view of `methods` and `analysis` are read for every
// frame, since they can change during a run. True when the source ended by itself.
bool runAutomaticRecognition(VideoInput &capture, const MethodChoice &methods, const SceneAnalysis &analysis,
                             const ResultFiles &files, RecognitionSink &sink);

// One frame of automatic recognition: learns `frame` into the model, cleans the
// foreground mask in `foreground` (cleared where `lookAt`, if any, is 0) and returns a
// box around every moving object whose size is in `band`.
std::vector<cv::Rect> findMovingObjects(const cv::Mat &frame, cv::BackgroundSubtractor &ptrMOG, cv::Mat &foreground,
                                        const SizeBand &band = SizeBand(), const cv::Mat &lookAt = cv::Mat());
// Its second half, on the mask learnForeground leaves: the boxes of its objects.
std::vector<cv::Rect> findObjectsInForeground(cv::Mat &foreground, const SizeBand &band = SizeBand(),
                                              const cv::Mat &lookAt = cv::Mat());
// The same, drawing each box in green on `result`.
std::vector<cv::Rect> markMovingObjects(const cv::Mat &frame, cv::BackgroundSubtractor &ptrMOG,
                                        cv::Mat &foreground, cv::Mat &result, const SizeBand &band = SizeBand());

// The last stage of the above on its own: the boxes of the outer contours of the
// binary `mask` whose convex hull's area is in `band`...
std::vector<cv::Rect> findMiddlingContours(const cv::Mat &mask, const SizeBand &band = SizeBand());
// ...and the same, drawn in green on `result`.
std::vector<cv::Rect> boxMiddlingContours(const cv::Mat &mask, cv::Mat &result, const SizeBand &band = SizeBand());

// The boxes drawn on the foreground mask, as the mask view shows them.
cv::Mat maskWithBoxes(const cv::Mat &foreground, const std::vector<cv::Rect> &boxes);

// The objects followed, each in its green box with its number and its trail.
void drawIdentifiedObjects(cv::Mat &image, const std::vector<IdentifiedObject> &objects);

#endif // AUTOMATICRECOGNITION_H
