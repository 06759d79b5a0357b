#ifndef VIDEOINPUT_H
#define VIDEOINPUT_H

#include "videosource.h"

#include <QString>

#include <opencv2/core.hpp>

#include <functional>
#include <memory>
#include <string>

// The frames of a video source, for one run of a recognition.
//
// Opening a stream or a camera, and reading from one, can block for seconds: a server
// that accepts and then says nothing holds FFmpeg until its time-out. So that the window
// never freezes, those calls run on a worker thread while the caller's `serve` function
// serves the window; `serve` returns false to give up waiting (a key, a closed window).
// A call given up on finishes on its own and releases what it opened.
class VideoInput
{
public:
    // What the source tells of itself; 0 where it does not know.
    struct Description
    {
        int width = 0;
        int height = 0;
        double fps = 0;
        int frameCount = 0;
    };

    // How long an opening source may take to answer, and a stream between two frames.
    static constexpr int answerMilliseconds = 10000;

    VideoInput();
    ~VideoInput();
    VideoInput(const VideoInput &) = delete;
    VideoInput &operator=(const VideoInput &) = delete;

    // Opens `source`; the bundled clips open `bundledClip`, directly, as they always have.
    // False when it cannot be opened (error() says why) or `serve` gave up.
    bool open(const VideoSource &source, const std::string &bundledClip, const std::function<bool()> &serve);
    // The next frame; false at the end, when the source fails (error() says how), or
    // when `serve` gave up waiting for a live source.
    bool read(cv::Mat &frame, const std::function<bool()> &serve);
    void release();

    bool isOpened() const;
    Description description() const;
    int framesRead() const { return frames; }
    // Why the source could not be opened or read, naming it; empty if nothing failed.
    QString error() const { return problem; }

    // Whether a call given up on is still running somewhere: the process then must not
    // run its static destructors under it.
    static bool anyCallStillRunning();

private:
    struct Worker;
    // Runs `task` on a worker thread while `serve` serves the window, for at most
    // `limitMilliseconds` (0: no limit). False if it was given up on.
    bool runAside(const std::function<bool(Worker &)> &task, const std::function<bool()> &serve,
                  int limitMilliseconds, bool *result);

    VideoSource source;
    std::shared_ptr<Worker> worker;
    int frames = 0;
    QString problem;
};

// "街道 1.avi — 320×240, 25 fps, 120 frames": the source's name and what is known of it.
QString describeSource(const VideoSource &source, const VideoInput::Description &description);

#endif // VIDEOINPUT_H
