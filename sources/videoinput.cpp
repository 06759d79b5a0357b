#include "videoinput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <opencv2/videoio.hpp>

#include <atomic>
#include <mutex>
#include <thread>

struct VideoInput::Worker
{
    std::mutex mutex;
    bool done = true;
    bool result = false;
    // Touched by the worker thread only while a task runs, and by the caller only between tasks.
    cv::VideoCapture capture;
    cv::Mat frame;
};

namespace {

std::atomic<int> callsRunning{0};

QString tr(const char *text)
{
    return QCoreApplication::translate("VideoInput", text);
}

// Why a file cannot be a video, before FFmpeg is asked; empty if it may be one.
QString fileProblem(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return tr("there is no such file");
    if (file.isDir())
        return tr("it is a folder, not a video file");
    if (!file.isReadable())
        return tr("it cannot be read (permission denied)");
    if (file.size() == 0)
        return tr("the file is empty");
    return QString();
}

} // namespace

VideoInput::VideoInput()
    : worker(std::make_shared<Worker>())
{
}

VideoInput::~VideoInput()
{
    release();
}

bool VideoInput::runAside(const std::function<bool(Worker &)> &task, const std::function<bool()> &serve,
                          int limitMilliseconds, bool *result)
{
    const std::shared_ptr<Worker> shared = worker;
    shared->done = false;
    ++callsRunning;
    std::thread([aside = shared, task]() mutable {
        const bool ok = task(*aside);
        {
            const std::lock_guard<std::mutex> lock(aside->mutex);
            aside->result = ok;
            aside->done = true;
        }
        aside.reset();  // a call given up on closes what it opened, before it counts as done
        --callsRunning;
    }).detach();

    QElapsedTimer clock;
    clock.start();
    for (;;) {
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->done) {
                *result = shared->result;
                return true;
            }
        }
        if ((limitMilliseconds > 0 && clock.elapsed() >= limitMilliseconds) || !serve()) {
            // The thread keeps the worker, and with it the capture, until it is done.
            worker = std::make_shared<Worker>();
            return false;
        }
    }
}

bool VideoInput::open(const VideoSource &chosen, const std::string &bundledClip, const std::function<bool()> &serve)
{
    release();
    source = chosen;
    frames = 0;
    problem.clear();

    if (source.kind == VideoSource::Bundled) {
        // FFmpeg alone: for a file it refuses (a cut-off MP4), OpenCV would go on to
        // GStreamer, which can wait for ever on it.
        worker->capture.open(bundledClip, cv::CAP_FFMPEG);
        return worker->capture.isOpened();
    }

    // Both at once: a name may hold "%1" itself.
    auto cannotOpen = [this](const QString &why) { return tr("Cannot open %1: %2.").arg(source.fullName(), why); };
    const QString noAnswer = tr("no answer within %1 s").arg(answerMilliseconds / 1000);
    if (source.kind == VideoSource::File) {
        const QString why = fileProblem(source.location);
        if (!why.isEmpty()) {
            problem = cannotOpen(why);
            return false;
        }
    }

    const VideoSource what = source;
    auto openIt = [what](Worker &aside) {
        if (what.kind == VideoSource::Camera)
            return aside.capture.open(what.cameraIndex, cv::CAP_ANY);
        // Paths and URLs go to FFmpeg as UTF-8, which it reads on every platform.
        const std::vector<int> timeouts = {cv::CAP_PROP_OPEN_TIMEOUT_MSEC, answerMilliseconds,
                                           cv::CAP_PROP_READ_TIMEOUT_MSEC, answerMilliseconds};
        return aside.capture.open(what.location.toStdString(), cv::CAP_FFMPEG, timeouts);
    };
    QElapsedTimer clock;
    clock.start();
    bool opened = false;
    if (!runAside(openIt, serve, answerMilliseconds, &opened)) {
        if (clock.elapsed() >= answerMilliseconds)
            problem = cannotOpen(noAnswer);
        return false;
    }
    if (opened)
        return true;
    worker->capture.release();
    // FFmpeg's own time-out may come a moment before ours.
    if (clock.elapsed() >= answerMilliseconds - 1000)
        problem = cannotOpen(noAnswer);
    else if (source.kind == VideoSource::Camera)
        problem = cannotOpen(tr("there is no such camera, or it is in use"));
    else if (source.kind == VideoSource::Stream)
        problem = cannotOpen(tr("it was refused, or sends nothing that can be played"));
    else
        problem = cannotOpen(tr("it is not a video that can be played, or it is cut off"));
    return false;
}

bool VideoInput::read(cv::Mat &frame, const std::function<bool()> &serve)
{
    // No frame is left from before: a run may look at it after a failed read.
    if (!isOpened()) {
        frame.release();
        return false;
    }
    bool ok = false;
    if (!source.isLive()) {
        ok = worker->capture.read(frame);
    } else {
        // A live source never ends by itself: a failed read means it has stopped.
        auto readIt = [](Worker &aside) { return aside.capture.read(aside.frame); };
        if (!runAside(readIt, serve, 0, &ok)) {
            frame.release();
            return false;
        }
        if (ok)
            worker->frame.copyTo(frame);
        else
            frame.release();
        if (!ok)
            problem = tr("%1 stopped sending frames.").arg(source.fullName());
    }
    if (ok)
        ++frames;
    else if (frames == 0 && problem.isEmpty() && source.kind != VideoSource::Bundled)
        problem = tr("Cannot play %1: it holds no frame that can be read.").arg(source.fullName());
    return ok;
}

void VideoInput::release()
{
    const std::lock_guard<std::mutex> lock(worker->mutex);
    if (worker->done)
        worker->capture.release();
}

bool VideoInput::anyCallStillRunning()
{
    return callsRunning > 0;
}

bool VideoInput::isOpened() const
{
    return worker->done && worker->capture.isOpened();
}

VideoInput::Description VideoInput::description() const
{
    Description description;
    if (!isOpened())
        return description;
    cv::VideoCapture &capture = worker->capture;
    description.width = static_cast<int>(capture.get(cv::CAP_PROP_FRAME_WIDTH));
    description.height = static_cast<int>(capture.get(cv::CAP_PROP_FRAME_HEIGHT));
    const double fps = capture.get(cv::CAP_PROP_FPS);
    description.fps = fps > 0 && fps < 1000 ? fps : 0;
    // A stream's count is FFmpeg's guess from its bit rate, not a count.
    if (!source.isLive())
        description.frameCount = std::max(0, static_cast<int>(capture.get(cv::CAP_PROP_FRAME_COUNT)));
    return description;
}

QString describeSource(const VideoSource &source, const VideoInput::Description &description)
{
    QStringList facts;
    if (description.width > 0 && description.height > 0)
        facts << QString("%1×%2").arg(description.width).arg(description.height);
    if (description.fps > 0)
        facts << QCoreApplication::translate("VideoInput", "%1 fps").arg(description.fps, 0, 'g', 4);
    if (description.frameCount > 0)
        facts << (description.frameCount == 1 ? QCoreApplication::translate("VideoInput", "1 frame")
                   : QCoreApplication::translate("VideoInput", "%1 frames").arg(description.frameCount));
    if (facts.isEmpty())
        return source.name();
    return source.name() + " — " + facts.join(", ");
}
