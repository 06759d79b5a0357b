#ifndef ANNOTATIONS_H
#define ANNOTATIONS_H

#include "linecounter.h"
#include "sceneanalysis.h"

#include <opencv2/core.hpp>

#include <string>
#include <vector>

// What the recognitions draw beside their boxes: numbers and trails, in lines and
// letters that grow with the picture, so that they read as well at 320 × 240 as at
// 1920 × 1080.

// The thickness of a line on a picture of `size`: 1 pixel up to about 540 rows.
int lineThickness(const cv::Size &size);

// `number` above the top left corner of `box` (inside the picture where that is off
// it), in `colour` on a dark outline.
void drawNumber(cv::Mat &image, const cv::Rect &box, int number, const cv::Scalar &colour);

// The centres an object has passed through, as one line.
void drawTrail(cv::Mat &image, const std::vector<cv::Point> &trail, const cv::Scalar &colour);

// The regions, translucent (ignored ones grey, watched ones yellow), and the counting
// lines, each with an arrow across it the way that counts +1, its name and its counts.
void drawAnalysis(cv::Mat &image, const SceneAnalysis &analysis, const std::vector<LineCount> &counts);

#endif // ANNOTATIONS_H
