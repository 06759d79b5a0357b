#include "regionselection.h"

#include "annotations.h"

#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>

cv::Rect g_roi(0, 0, 0, 0);
cv::Point g_dragEnd(0, 0);
cv::Mat g_firstFrame;
cv::Point g_dragStart(0, 0);
HighGuiWindows *g_highGuiWindows = nullptr;
bool g_severalTargets = false;
std::vector<cv::Rect> g_targets;

cv::Rect clipToImage(const cv::Rect &region, const cv::Size &size)
{
    const int left = std::clamp(region.x, 0, size.width);
    const int top = std::clamp(region.y, 0, size.height);
    const int right = std::clamp(region.x + region.width, left, size.width);
    const int bottom = std::clamp(region.y + region.height, top, size.height);
    return cv::Rect(left, top, right - left, bottom - top);
}

namespace {

// The first frame with the regions released so far.
cv::Mat firstFrameWithTargets()
{
    cv::Mat tmp;
    g_firstFrame.copyTo(tmp);
    if (!g_severalTargets)
        return tmp;
    for (size_t i = 0; i < g_targets.size(); ++i) {
        cv::rectangle(tmp, g_targets[i], cv::Scalar(0, 255, 0), 1, cv::LINE_8, 0);
        drawNumber(tmp, g_targets[i], static_cast<int>(i) + 1, cv::Scalar(0, 255, 0));
    }
    return tmp;
}

} // namespace

void onMouse(int event, int x, int y, int flags, void *)
{
    if (event == cv::EVENT_LBUTTONDOWN) {
        g_dragStart = cv::Point(x, y);
        // A click without a drag selects nothing, rather than reaching to where an earlier drag ended.
        g_dragEnd = g_dragStart;
    } else if (event == cv::EVENT_MOUSEMOVE && (flags & cv::EVENT_FLAG_LBUTTON)) {
        if (g_firstFrame.empty())
            return;
        // Redraw from a clean copy, so that only the current rectangle shows.
        cv::Mat tmp = firstFrameWithTargets();
        g_dragEnd = cv::Point(x, y);
        cv::rectangle(tmp, g_dragStart, g_dragEnd, cv::Scalar(0, 255, 0), 1, cv::LINE_8, 0);
        if (g_highGuiWindows)
            g_highGuiWindows->show("output", tmp);
    } else if (event == cv::EVENT_LBUTTONUP) {
        // The rectangle the user saw, whichever way it was dragged.
        g_roi.x = std::min(g_dragStart.x, g_dragEnd.x);
        g_roi.y = std::min(g_dragStart.y, g_dragEnd.y);
        g_roi.width = std::abs(g_dragStart.x - g_dragEnd.x);
        g_roi.height = std::abs(g_dragStart.y - g_dragEnd.y);
        // A drag may go past the edges of the picture: track what lies inside it.
        if (!g_firstFrame.empty())
            g_roi = clipToImage(g_roi, g_firstFrame.size());
        if (g_severalTargets) {
            if (!g_roi.empty())
                g_targets.push_back(g_roi);
            if (g_highGuiWindows && !g_firstFrame.empty())
                g_highGuiWindows->show("output", firstFrameWithTargets());
        } else if (g_highGuiWindows) {
            g_highGuiWindows->destroyLater("output");
        }
    }
}
