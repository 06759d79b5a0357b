#ifndef FOREGROUNDLEARNER_H
#define FOREGROUNDLEARNER_H

#include <opencv2/core.hpp>
#include <opencv2/video/background_segm.hpp>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

// Learns a frame into a background model on a thread of its own, while the run works
// on the frame before it (contours, identities, rows, pictures), which runs on one core.
// Both cores stay busy: OpenCV runs one parallel loop at a time in a process, the other
// serially, so the parallel steps (the model's, erode, dilate) are all on this side.
// The model learns the same frames in the same order, so the masks are the same.
class ForegroundLearner
{
public:
    ForegroundLearner() = default;
    // Waits for the frame being learnt.
    ~ForegroundLearner();
    ForegroundLearner(const ForegroundLearner &) = delete;
    ForegroundLearner &operator=(const ForegroundLearner &) = delete;

    // Starts learning `frame` into `model`, its mask into `foreground`, as learnForeground
    // does. None of the three may be touched until wait() has returned.
    void learn(cv::BackgroundSubtractor &model, const cv::Mat &frame, cv::Mat &foreground);
    // Until the frame is learnt; throws what learning it threw. The caller's random numbers
    // go on from where learning it left them.
    void wait();
    // Until the frame is learnt, leaving the caller's random numbers as they were before it:
    // for a frame learnt into a model that goes.
    void discard();

private:
    void work();

    std::mutex mutex;
    std::condition_variable changed;
    cv::BackgroundSubtractor *model = nullptr;  // with a frame to learn
    cv::Mat frame;
    cv::Mat *foreground = nullptr;
    // OpenCV's random numbers are each thread's own: some models draw them, and draw the
    // same ones as they would on the caller's thread.
    cv::RNG random;
    cv::RNG randomBefore;
    bool handedBack = true;  // the caller has the random numbers of the frame learnt last
    bool busy = false;
    bool stopping = false;
    std::exception_ptr failure;
    std::thread thread;  // started with the first frame
};

// Learns `frame` into `model`, leaving in `foreground` its mask of moving pixels as 0 and
// 255, eroded and dilated.
void learnForeground(const cv::Mat &frame, cv::BackgroundSubtractor &model, cv::Mat &foreground);

#endif // FOREGROUNDLEARNER_H
