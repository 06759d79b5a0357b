#ifndef VIDEOINPUT_H
#define VIDEOINPUT_H

#include "videosource.h"

#include <QString>

#include <opencv2/core.hpp>

#include <functional>
#include <memory>
#include <string>
#include <thread>

// The frames of a video source, for one run of a recognition.
//
// Opening a file, a stream or a camera, and reading from a stream or a camera, can
// block for seconds: a server that accepts and then says nothing holds FFmpeg until its
// time-out. So that the window never freezes, those calls run on the input's reader
// thread, one for as long as the input lives, while the caller's `serve` function
// serves the window every few milliseconds; `serve` returns false to give up waiting (a
// key, a closed window). A call given up on finishes on its own thread, which then
// releases what it opened and ends; the input goes on with a thread of its own.
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

    // Reads only frames `first` to `last` (from 1; `last` 0: to the end), numbered as in
    // the source: a file is sought to the first, a live source's frames before it are
    // passed over, and the source seems to end after the last.
    void setFrameRange(int first, int last);
    // How many frames there are to read in the range; 0 where the source does not tell.
    int framesInRange() const;
    // A file goes on from `frame` (from 1); a live source cannot.
    bool canSeek() const { return !source.isLive() && isOpened(); }
    bool seek(int frame);
    // Decodes the next frame on the reader thread while the caller works on this one.
    void setReadAhead(bool on) { readAhead = on; }
    bool readsAhead() const { return readAhead; }
    // Lets a file take as long as it takes to open. OpenCV opens one source at a time in
    // a process, so where several are opened at once a file may wait for a silent
    // server's time-out before its turn comes.
    void waitForFilesWithoutLimit() { limitFiles = false; }

    bool isOpened() const;
    Description description() const;
    // The source's number of the frame read last (from 1).
    int framesRead() const { return frames; }
    // Why the source could not be opened or read, naming it; empty if nothing failed.
    QString error() const { return problem; }

    // Whether a reader thread is still running somewhere, maybe inside a call given up
    // on: the process then must not run its static destructors under it.
    static bool anyCallStillRunning();

private:
    struct Reader;
    // Runs `task` on the reader thread while `serve` serves the window, for at most
    // `limitMilliseconds` (0: no limit). False if it was given up on.
    bool runOnReader(const std::function<bool(Reader &)> &task, const std::function<bool()> &serve,
                     int limitMilliseconds, bool *result);
    void postToReader(const std::function<bool(Reader &)> &task);
    bool waitForReader(const std::function<bool()> &serve, int limitMilliseconds, bool *result);
    // Waits for the frame read ahead, and leaves it unused.
    void finishReadingAhead();
    // Leaves the reader thread to finish its call alone, and starts afresh without it.
    void abandonReader();
    void stopReader();

    VideoSource source;
    std::shared_ptr<Reader> reader;  // what the reader thread shares with the caller
    std::thread readerThread;  // started by the first call that may block
    bool readOne(cv::Mat &frame, const std::function<bool()> &serve);

    int frames = 0;
    bool readAhead = false;
    bool limitFiles = true;
    bool readingAhead = false;  // a read is under way for the caller's next frame
    Description describedAtOpen;
    int firstFrame = 1;
    int lastFrame = 0;
    QString problem;
};

// "街道 1.avi — 320×240, 25 fps, 120 frames": the source's name and what is known of it.
QString describeSource(const VideoSource &source, const VideoInput::Description &description);

#endif // VIDEOINPUT_H
