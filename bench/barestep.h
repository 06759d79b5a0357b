#ifndef BARESTEP_H
#define BARESTEP_H

#include <opencv2/core.hpp>
#include <opencv2/video/background_segm.hpp>

#include <vector>

// The automatic recognition's frame step written out as bare OpenCV calls, as a user
// would write it: the baseline the program's step is measured against.
void bareFrameStep(const cv::Mat &frame, cv::BackgroundSubtractorMOG2 &model, cv::Mat &foreground, cv::Mat &result,
                   std::vector<std::vector<cv::Point>> &contours, std::vector<cv::Point> &hull);

#endif // BARESTEP_H
