#ifndef VIDEORECORDER_H
#define VIDEORECORDER_H

#include <QString>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Writes the frames a run shows into a video file, encoding them on a thread of its
// own so that the run keeps its pace. The name's extension picks the format: ".avi" is
// Motion-JPEG, ".mp4" MPEG-4 Part 2.
class VideoRecorder
{
public:
    VideoRecorder() = default;
    ~VideoRecorder();
    VideoRecorder(const VideoRecorder &) = delete;
    VideoRecorder &operator=(const VideoRecorder &) = delete;

    // Starts the file for frames of `size` at `fps` frames a second. False, with
    // error() saying why, when the file cannot be written.
    bool open(const QString &path, cv::Size size, double fps);
    bool isOpen() const { return writer.isOpened(); }
    // Queues a copy of `frame`. Waits only when the encoder has fallen far behind:
    // no frame is dropped.
    void add(const cv::Mat &frame);
    // Writes what is queued and finishes the file.
    void close();

    QString error() const { return problem; }

private:
    void encodeQueued();

    cv::VideoWriter writer;
    cv::Size frameSize;
    QString problem;
    std::thread encoder;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<cv::Mat> queue;
    bool closing = false;
};

#endif // VIDEORECORDER_H
