#include "annotations.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <string>

namespace {

double fontScale(const cv::Size &size)
{
    return std::max(0.4, std::min(size.width, size.height) / 600.0);
}

} // namespace

int lineThickness(const cv::Size &size)
{
    return std::max(1, (std::min(size.width, size.height) + 180) / 360);
}

namespace {

// `text` with its baseline's left end at `origin`, moved inside the picture.
void drawLabel(cv::Mat &image, const std::string &text, cv::Point origin, const cv::Scalar &colour)
{
    const double scale = fontScale(image.size());
    const int thickness = lineThickness(image.size());
    int baseline = 0;
    const cv::Size extent = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, scale, thickness, &baseline);
    origin.x = std::clamp(origin.x, 0, std::max(0, image.cols - extent.width));
    origin.y = std::clamp(origin.y, extent.height, std::max(extent.height, image.rows - baseline));
    cv::putText(image, text, origin, cv::FONT_HERSHEY_SIMPLEX, scale, cv::Scalar(0, 0, 0), thickness + 2, cv::LINE_AA);
    cv::putText(image, text, origin, cv::FONT_HERSHEY_SIMPLEX, scale, colour, thickness, cv::LINE_AA);
}

} // namespace

void drawNumber(cv::Mat &image, const cv::Rect &box, int number, const cv::Scalar &colour)
{
    const std::string text = std::to_string(number);
    const double scale = fontScale(image.size());
    const int thickness = lineThickness(image.size());
    int baseline = 0;
    const cv::Size extent = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, scale, thickness, &baseline);
    const int margin = thickness + 1;
    cv::Point origin(box.x, box.y - margin);
    if (origin.y - extent.height < 0)
        origin.y = box.y + box.height + extent.height + margin;  // below the box, at the top of the picture
    drawLabel(image, text, origin, colour);
}

void drawTrail(cv::Mat &image, const std::vector<cv::Point> &trail, const cv::Scalar &colour)
{
    if (trail.size() >= 2)
        cv::polylines(image, trail, false, colour, lineThickness(image.size()), cv::LINE_AA);
}

void drawAnalysis(cv::Mat &image, const SceneAnalysis &analysis, const std::vector<LineCount> &counts)
{
    if (!analysis.regions().empty()) {
        cv::Mat tinted = image.clone();
        for (const SceneRegion &region : analysis.regions())
            cv::fillPoly(tinted, std::vector<std::vector<cv::Point>>{region.corners},
                         region.kind == SceneRegion::Ignore ? cv::Scalar(128, 128, 128) : cv::Scalar(0, 220, 255));
        cv::addWeighted(tinted, 0.35, image, 0.65, 0, image);
    }
    const cv::Scalar cyan(255, 255, 0);
    const int thickness = lineThickness(image.size());
    for (size_t i = 0; i < analysis.lines().size(); ++i) {
        const CountingLine &line = analysis.lines()[i];
        cv::line(image, line.from, line.to, cyan, thickness, cv::LINE_AA);
        // Across the middle, towards the line's right: the way that counts +1.
        const cv::Point2d along = cv::Point2d(line.to - line.from);
        const cv::Point2d across = cv::Point2d(-along.y, along.x) / std::max(1.0, cv::norm(along));
        const cv::Point2d middle = (cv::Point2d(line.from) + cv::Point2d(line.to)) / 2;
        const double length = 12.0 * lineThickness(image.size());
        cv::arrowedLine(image, middle - across * length, middle + across * length, cyan, thickness, cv::LINE_AA, 0, 0.4);
        const LineCount count = i < counts.size() ? counts[i] : LineCount();
        const std::string label = SceneAnalysis::lineName(static_cast<int>(i)).toStdString() + " +"
            + std::to_string(count.forward) + " -" + std::to_string(count.backward);
        drawLabel(image, label, line.from + cv::Point(thickness * 3, -thickness * 3), cyan);
    }
}
