#ifndef MANUALRECOGNITION_H
#define MANUALRECOGNITION_H

#include <opencv2/core.hpp>
#include <opencv2/video/tracking.hpp>

// Starts `tracker` on `frame` at `region`. False when there is nothing to track:
// no frame, or a region the tracker rejects (an empty one, for instance).
bool startTracking(cv::Tracker &tracker, const cv::Mat &frame, const cv::Rect &region);

// One tracked frame: moves `region` to where the object is in `frame` and boxes it
// in blue. False when the tracker has lost the object; the frame then has no box.
bool trackAndMark(cv::Tracker &tracker, cv::Mat &frame, cv::Rect &region);

#endif // MANUALRECOGNITION_H
