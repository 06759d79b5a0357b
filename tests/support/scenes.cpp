#include "scenes.h"

#include "media.h"

#include <QFile>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cmath>

namespace scenes {

namespace {

cv::Mat texture(cv::Size size, cv::RNG &rng, const cv::Scalar &low, const cv::Scalar &high, int grain)
{
    cv::Mat coarse(size.height / grain + 2, size.width / grain + 2, CV_8UC3);
    rng.fill(coarse, cv::RNG::UNIFORM, low, high);
    cv::Mat fine;
    cv::resize(coarse, fine, size, 0, 0, cv::INTER_NEAREST);
    return fine;
}

} // namespace

Scene makeScene(cv::Size size, int frameCount, const std::vector<Walker> &walkers, unsigned seed,
                const cv::Rect &flicker)
{
    cv::RNG rng(seed);
    cv::Mat ground;
    cv::GaussianBlur(texture(size, rng, cv::Scalar(60, 80, 70), cv::Scalar(120, 140, 130), 6), ground, cv::Size(5, 5), 0);
    std::vector<cv::Mat> looks;
    for (const Walker &walker : walkers)
        looks.push_back(texture(walker.size, rng, cv::Scalar(0, 0, 90), cv::Scalar(255, 120, 255), 4));

    Scene scene;
    for (int frame = 1; frame <= frameCount; ++frame) {
        cv::Mat picture = ground.clone();
        for (size_t i = 0; i < walkers.size(); ++i) {
            const Walker &walker = walkers[i];
            if (frame < walker.firstFrame)
                continue;
            const cv::Point2d at = walker.start + walker.velocity * double(frame - walker.firstFrame);
            const cv::Rect box(int(std::lround(at.x)), int(std::lround(at.y)), walker.size.width, walker.size.height);
            const cv::Rect seen = box & cv::Rect(cv::Point(), size);
            if (seen.empty())
                continue;
            looks[i](seen - box.tl()).copyTo(picture(seen));
            const double visible = double(seen.area()) / box.area();
            scene.truth << QString("%1,%2,%3,%4,%5,%6,%7,1,%8")
                               .arg(frame)
                               .arg(i + 1)
                               .arg(seen.x)
                               .arg(seen.y)
                               .arg(seen.width)
                               .arg(seen.height)
                               .arg(visible >= 0.6 ? 1 : 0)
                               .arg(visible, 0, 'f', 2);
        }
        if (!flicker.empty())
            picture(flicker).setTo(frame / 3 % 2 ? cv::Scalar(40, 160, 60) : cv::Scalar(120, 60, 200));
        cv::Mat noise(size, CV_16SC3);
        rng.fill(noise, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(3));
        cv::Mat noisy;
        picture.convertTo(noisy, CV_16SC3);
        noisy += noise;
        noisy.convertTo(picture, CV_8UC3);
        scene.frames.push_back(picture);
    }
    return scene;
}

bool writeScene(const Scene &scene, const QString &videoPath, const QString &truthPath)
{
    bool written = false;
    if (videoPath.endsWith(".avi")) {
        cv::VideoWriter writer(videoPath.toStdString(), cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                               25.0, scene.frames.front().size());
        for (const cv::Mat &frame : scene.frames)
            writer.write(frame);
        written = writer.isOpened();
    } else {
        written = media::writeVideo(videoPath, scene.frames);
    }
    QFile truth(truthPath);
    return written && truth.open(QIODevice::WriteOnly) && truth.write((scene.truth.join('\n') + '\n').toUtf8()) > 0;
}

} // namespace scenes
