#ifndef SCENES_H
#define SCENES_H

// Footage made for a test, with its exact ground truth: textured figures the size of
// people walking straight across a noisy, textured ground.

#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <vector>

namespace scenes {

struct Walker
{
    cv::Size size;
    cv::Point2d start;     // the top left corner on `firstFrame`
    cv::Point2d velocity;  // pixels a frame
    int firstFrame;        // from 1
};

struct Scene
{
    std::vector<cv::Mat> frames;
    // MOT Challenge rows, frame,id,left,top,width,height,conf,class,visibility: one for
    // each walker (id from 1, in the order given) in each frame where any of it is in
    // the picture; conf 0 (ignored) where less than 60 % of it is.
    QStringList truth;
};

// Later walkers are drawn over earlier ones. A `flicker` patch, if any, changes its
// colour every few frames, as leaves in the wind do; the rest of each frame is the same
// with it or without.
Scene makeScene(cv::Size size, int frameCount, const std::vector<Walker> &walkers, unsigned seed,
                const cv::Rect &flicker = cv::Rect());

// Writes the frames as a video (".avi": Motion-JPEG, each frame on its own; otherwise
// MPEG-4) and the truth beside it; true if both were written.
bool writeScene(const Scene &scene, const QString &videoPath, const QString &truthPath);

} // namespace scenes

#endif // SCENES_H
