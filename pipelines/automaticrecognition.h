#ifndef AUTOMATICRECOGNITION_H
#define AUTOMATICRECOGNITION_H

#include <opencv2/core.hpp>
#include <opencv2/video/background_segm.hpp>

#include "sizeband.h"

#include <vector>

// The background model of one automatic run.
cv::Ptr<cv::BackgroundSubtractorMOG2> createMovingObjectModel();

// One frame of automatic recognition: learns `frame` into the model, cleans the
// foreground mask in `foreground` and draws a green box on `result` around every
// moving object whose size is in `band`. Returns the boxes drawn.
std::vector<cv::Rect> markMovingObjects(const cv::Mat &frame, cv::BackgroundSubtractor &ptrMOG,
                                        cv::Mat &foreground, cv::Mat &result, const SizeBand &band = SizeBand());

// The last stage of the above on its own: boxes on `result` the outer contours of
// the binary `mask` whose convex hull's area is in `band`.
std::vector<cv::Rect> boxMiddlingContours(const cv::Mat &mask, cv::Mat &result, const SizeBand &band = SizeBand());

// The boxes drawn on the foreground mask, as the mask view shows them.
cv::Mat maskWithBoxes(const cv::Mat &foreground, const std::vector<cv::Rect> &boxes);

#endif // AUTOMATICRECOGNITION_H
