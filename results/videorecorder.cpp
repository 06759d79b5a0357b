#include "videorecorder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <opencv2/imgproc.hpp>

namespace {

// Enough to ride out a slow moment of the encoder without holding much memory.
const size_t queueLimit = 32;

} // namespace

VideoRecorder::~VideoRecorder()
{
    close();
}

bool VideoRecorder::open(const QString &path, cv::Size size, double fps)
{
    close();
    problem.clear();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != "avi" && suffix != "mp4") {
        problem = QCoreApplication::translate("VideoRecorder", "Cannot record to %1: the name must end in .avi (Motion-JPEG) or .mp4 (MPEG-4).")
                      .arg(path);
        return false;
    }
    // OpenCV does not tell why a file cannot be written; the file system does.
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        problem = QCoreApplication::translate("VideoRecorder", "Cannot record to %1: %2.").arg(path, probe.errorString());
        return false;
    }
    probe.close();

    const int fourcc = suffix == "avi" ? cv::VideoWriter::fourcc('M', 'J', 'P', 'G')
                                       : cv::VideoWriter::fourcc('m', 'p', '4', 'v');
    // Paths go to FFmpeg as UTF-8, which it reads on every platform.
    if (!writer.open(path.toStdString(), cv::CAP_FFMPEG, fourcc, fps, size)) {
        problem = QCoreApplication::translate("VideoRecorder", "Cannot record to %1: the video cannot be encoded.").arg(path);
        return false;
    }
    frameSize = size;
    closing = false;
    encoder = std::thread(&VideoRecorder::encodeQueued, this);
    return true;
}

void VideoRecorder::add(const cv::Mat &frame)
{
    if (!encoder.joinable())
        return;
    cv::Mat copy;
    if (frame.size() == frameSize)
        frame.copyTo(copy);
    else  // a source whose frames change size mid-way
        cv::resize(frame, copy, frameSize);
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return queue.size() < queueLimit; });
    queue.push_back(std::move(copy));
    changed.notify_all();
}

void VideoRecorder::close()
{
    if (encoder.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
        }
        changed.notify_all();
        encoder.join();
    }
    writer.release();
}

void VideoRecorder::encodeQueued()
{
    for (;;) {
        cv::Mat frame;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return closing || !queue.empty(); });
            if (queue.empty())
                return;
            frame = std::move(queue.front());
            queue.pop_front();
        }
        changed.notify_all();
        writer.write(frame);
    }
}
