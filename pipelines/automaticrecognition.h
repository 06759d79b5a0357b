#ifndef AUTOMATICRECOGNITION_H
#define AUTOMATICRECOGNITION_H

#include <opencv2/core.hpp>
#include <opencv2/video/background_segm.hpp>

#include <vector>

// The background model of one automatic run.
cv::Ptr<cv::BackgroundSubtractorMOG2> createMovingObjectModel();

// One frame of automatic recognition: learns `frame` into the model, cleans the
// foreground mask in `foreground` and draws a green box on `result` around every
// moving object of middling size. Returns the boxes drawn.
std::vector<cv::Rect> markMovingObjects(const cv::Mat &frame, cv::BackgroundSubtractorMOG2 &ptrMOG,
                                        cv::Mat &foreground, cv::Mat &result);

// The last stage of the above on its own: boxes on `result` the outer contours of
// the binary `mask` whose convex hull covers more than 500 and less than 1000 pixels.
std::vector<cv::Rect> boxMiddlingContours(const cv::Mat &mask, cv::Mat &result);

#endif // AUTOMATICRECOGNITION_H
