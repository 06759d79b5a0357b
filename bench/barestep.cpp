#include "barestep.h"

#include <opencv2/imgproc.hpp>

void bareFrameStep(const cv::Mat &frame, cv::BackgroundSubtractorMOG2 &model, cv::Mat &foreground, cv::Mat &result,
                   std::vector<std::vector<cv::Point>> &contours, std::vector<cv::Point> &hull)
{
    model.apply(frame, foreground, 0.03);
    cv::threshold(foreground, foreground, 25, 255, cv::THRESH_BINARY);
    cv::erode(foreground, foreground, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
    cv::dilate(foreground, foreground, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(11, 11)));
    cv::findContours(foreground, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    for (const auto &contour : contours) {
        cv::convexHull(contour, hull, false, true);
        const double area = cv::contourArea(hull);
        if (area > 500 && area < 1000)
            cv::rectangle(result, cv::boundingRect(contour), cv::Scalar(0, 255, 0), 1, cv::LINE_8);
    }
}
