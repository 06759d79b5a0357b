#ifndef MANUALRECOGNITION_H
#define MANUALRECOGNITION_H

#include "methods.h"
#include "recognitionsink.h"
#include "runresults.h"

#include <opencv2/core.hpp>
#include <opencv2/video/tracking.hpp>

class VideoInput;

// Starts `tracker` on `frame` at `region`. False when there is nothing to track:
// no frame, or a region the tracker rejects (an empty one, for instance).
bool startTracking(cv::Tracker &tracker, const cv::Mat &frame, const cv::Rect &region);

// One tracked frame: moves `region` to where the object is in `frame`. False when the
// tracker has lost the object.
bool followObject(cv::Tracker &tracker, const cv::Mat &frame, cv::Rect &region);
// The same, boxing the object in blue; a frame where it is lost has no box.
bool trackAndMark(cv::Tracker &tracker, cv::Mat &frame, cv::Rect &region);

// The manual recognition over `capture`, opened: its first frame read into
// `firstFrame`, on which `sink` selects the objects into `regions` (which holds the one
// marked before); then, from the second frame to the end, each object followed by a
// tracker of `methods` and boxed in blue (numbered, with several targets), its region
// moved with it, the rows saved to `files`, and every frame handed to `sink`, which may
// end the run. True when the source ended by itself.
bool runManualRecognition(VideoInput &capture, const MethodChoice &methods, const ResultFiles &files,
                          cv::Mat &firstFrame, std::vector<cv::Rect> &regions, RecognitionSink &sink);

#endif // MANUALRECOGNITION_H
