#include "videoinput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <opencv2/videoio.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

struct VideoInput::Reader
{
    std::mutex mutex;
    std::condition_variable changed;
    std::function<bool(Reader &)> task;  // asked for and not yet begun
    bool busy = false;                   // a task is asked for or under way
    bool result = false;
    bool leaving = false;                // the thread ends when it has nothing more to do
    // Touched by the reader thread only while a task runs, and by the caller only between tasks.
    cv::VideoCapture capture;
    cv::Mat frame;
};

namespace {

std::atomic<int> readersRunning{0};

// How often the window is served while the reader thread works: a `serve` that returns
// at once would otherwise make the wait spin.
constexpr std::chrono::milliseconds serveInterval(10);

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
    : reader(std::make_shared<Reader>())
{
}

VideoInput::~VideoInput()
{
    release();
    stopReader();
}

void VideoInput::postToReader(const std::function<bool(Reader &)> &task)
{
    if (!readerThread.joinable()) {
        ++readersRunning;
        readerThread = std::thread([shared = reader]() mutable {
            std::unique_lock<std::mutex> lock(shared->mutex);
            for (;;) {
                shared->changed.wait(lock, [&] { return shared->task || shared->leaving; });
                if (!shared->task)
                    break;
                const std::function<bool(Reader &)> next = std::move(shared->task);
                shared->task = nullptr;
                lock.unlock();
                const bool ok = next(*shared);
                lock.lock();
                shared->result = ok;
                shared->busy = false;
                shared->changed.notify_all();
            }
            lock.unlock();
            shared.reset();  // a thread left to finish alone closes what it opened, before it counts as ended
            --readersRunning;
        });
    }

    const std::lock_guard<std::mutex> lock(reader->mutex);
    reader->task = task;
    reader->busy = true;
    reader->changed.notify_all();
}

bool VideoInput::waitForReader(const std::function<bool()> &serve, int limitMilliseconds, bool *result)
{
    QElapsedTimer clock;
    clock.start();
    std::unique_lock<std::mutex> lock(reader->mutex);
    for (;;) {
        if (reader->changed.wait_for(lock, serveInterval, [this] { return !reader->busy; })) {
            *result = reader->result;
            return true;
        }
        lock.unlock();
        const bool goOn = (limitMilliseconds <= 0 || clock.elapsed() < limitMilliseconds) && serve();
        lock.lock();
        if (!goOn) {
            lock.unlock();
            abandonReader();
            return false;
        }
    }
}

bool VideoInput::runOnReader(const std::function<bool(Reader &)> &task, const std::function<bool()> &serve,
                             int limitMilliseconds, bool *result)
{
    postToReader(task);
    return waitForReader(serve, limitMilliseconds, result);
}

void VideoInput::abandonReader()
{
    readingAhead = false;
    {
        const std::lock_guard<std::mutex> lock(reader->mutex);
        reader->leaving = true;
        reader->changed.notify_all();
    }
    // The thread keeps its reader, and with it the capture, until its call is done.
    if (readerThread.joinable())
        readerThread.detach();
    reader = std::make_shared<Reader>();
}

void VideoInput::stopReader()
{
    if (!readerThread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(reader->mutex);
        reader->leaving = true;
        reader->changed.notify_all();
    }
    readerThread.join();
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
        reader->capture.open(bundledClip, cv::CAP_FFMPEG);
        describedAtOpen = description();
        return reader->capture.isOpened();
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
    auto openIt = [what](Reader &aside) {
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
    const int limit = source.kind == VideoSource::File && !limitFiles ? 0 : answerMilliseconds;
    if (!runOnReader(openIt, serve, limit, &opened)) {
        if (limit > 0 && clock.elapsed() >= limit)
            problem = cannotOpen(noAnswer);
        return false;
    }
    if (opened) {
        describedAtOpen = description();
        return true;
    }
    reader->capture.release();
    // FFmpeg's own time-out may come a moment before ours.
    if (limit > 0 && clock.elapsed() >= limit - 1000)
        problem = cannotOpen(noAnswer);
    else if (source.kind == VideoSource::Camera)
        problem = cannotOpen(tr("there is no such camera, or it is in use"));
    else if (source.kind == VideoSource::Stream)
        problem = cannotOpen(tr("it was refused, or sends nothing that can be played"));
    else
        problem = cannotOpen(tr("it is not a video that can be played, or it is cut off"));
    return false;
}

void VideoInput::setFrameRange(int first, int last)
{
    firstFrame = std::max(1, first);
    lastFrame = std::max(0, last);
}

int VideoInput::framesInRange() const
{
    const int count = description().frameCount;
    const int last = lastFrame > 0 && (count == 0 || lastFrame < count) ? lastFrame : count;
    return last > 0 ? std::max(0, last - firstFrame + 1) : 0;
}

bool VideoInput::seek(int frame)
{
    finishReadingAhead();
    if (!canSeek() || !reader->capture.set(cv::CAP_PROP_POS_FRAMES, frame - 1))
        return false;
    frames = frame - 1;
    return true;
}

bool VideoInput::read(cv::Mat &frame, const std::function<bool()> &serve)
{
    if (frames < firstFrame - 1) {
        if (canSeek())
            seek(firstFrame);
        while (frames < firstFrame - 1)
            if (!readOne(frame, serve))
                return false;
    }
    if (lastFrame > 0 && frames >= lastFrame) {
        frame.release();
        return false;
    }
    return readOne(frame, serve);
}

bool VideoInput::readOne(cv::Mat &frame, const std::function<bool()> &serve)
{
    // No frame is left from before: a run may look at it after a failed read.
    if (!isOpened()) {
        frame.release();
        return false;
    }
    bool ok = false;
    if (!source.isLive() && !readAhead) {
        ok = reader->capture.read(frame);
    } else {
        // The reader decodes into the caller's last frame, which is handed over as it is
        // (a read on the caller's thread would decode into it too); read ahead, it goes
        // on to the next frame at once.
        auto readIt = [](Reader &aside) { return aside.capture.read(aside.frame); };
        if (!readingAhead)
            postToReader(readIt);
        readingAhead = false;
        if (!waitForReader(serve, 0, &ok)) {
            frame.release();
            return false;
        }
        cv::swap(frame, reader->frame);
        if (ok && readAhead && (lastFrame == 0 || frames + 1 < lastFrame)) {
            postToReader(readIt);
            readingAhead = true;
        }
        if (!ok) {
            frame.release();
            // A live source never ends by itself: a failed read means it has stopped.
            if (source.isLive())
                problem = tr("%1 stopped sending frames.").arg(source.fullName());
        }
    }
    if (ok)
        ++frames;
    else if (frames == 0 && problem.isEmpty() && source.kind != VideoSource::Bundled)
        problem = tr("Cannot play %1: it holds no frame that can be read.").arg(source.fullName());
    return ok;
}

void VideoInput::finishReadingAhead()
{
    if (!readingAhead)
        return;
    bool ok = false;
    waitForReader([] { return true; }, 0, &ok);
    readingAhead = false;
}

void VideoInput::release()
{
    finishReadingAhead();
    const std::lock_guard<std::mutex> lock(reader->mutex);
    if (!reader->busy)
        reader->capture.release();
}

bool VideoInput::anyCallStillRunning()
{
    return readersRunning > 0;
}

bool VideoInput::isOpened() const
{
    if (readingAhead)
        return true;
    const std::lock_guard<std::mutex> lock(reader->mutex);
    return !reader->busy && reader->capture.isOpened();
}

VideoInput::Description VideoInput::description() const
{
    if (readingAhead)
        return describedAtOpen;
    Description description;
    if (!isOpened())
        return description;
    cv::VideoCapture &capture = reader->capture;
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
