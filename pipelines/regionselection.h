#ifndef REGIONSELECTION_H
#define REGIONSELECTION_H

#include "highguiwindows.h"

#include <opencv2/core.hpp>

#include <vector>

// What the mouse callback shares with the manual recognition: HighGUI passes the
// callback no window, so the frame and the drag live here.
extern cv::Rect g_roi;          // the selected region, then the tracker's box
extern cv::Point g_dragEnd;     // last pointer position while dragging with the left button
extern cv::Mat g_firstFrame;    // the frame the user draws on
extern cv::Point g_dragStart;   // where the left button went down
extern HighGuiWindows *g_highGuiWindows;  // shows "output" and closes it, for the program
extern bool g_severalTargets;            // a release keeps its region in g_targets, and "output" open
extern std::vector<cv::Rect> g_targets;  // the regions released so far, with several targets

// The part of `region` that lies inside an image of `size`. An empty region keeps its
// place, moved inside the image.
cv::Rect clipToImage(const cv::Rect &region, const cv::Size &size);

// HighGUI mouse callback of the window "output": a left-button drag draws a green
// rectangle on the first frame; the release stores it in g_roi and closes the window.
// With several targets, the release adds the region to g_targets instead, and every
// region released stays drawn, numbered, under the next drag.
void onMouse(int event, int x, int y, int flags, void *userdata);

#endif // REGIONSELECTION_H
