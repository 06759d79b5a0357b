#include "foregroundlearner.h"

#include <opencv2/imgproc.hpp>

ForegroundLearner::~ForegroundLearner()
{
    if (!thread.joinable())
        return;
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return !busy; });
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

void ForegroundLearner::learn(cv::BackgroundSubtractor &learnInto, const cv::Mat &learnt, cv::Mat &mask)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        model = &learnInto;
        frame = learnt;
        foreground = &mask;
        random = cv::theRNG();
        randomBefore = random;
        busy = true;
        handedBack = false;
    }
    if (!thread.joinable())
        thread = std::thread(&ForegroundLearner::work, this);
    changed.notify_all();
}

void ForegroundLearner::wait()
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return !busy; });
    if (!std::exchange(handedBack, true))
        cv::theRNG() = random;
    if (failure)
        std::rethrow_exception(std::exchange(failure, nullptr));
}

void ForegroundLearner::discard()
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return !busy; });
    if (!std::exchange(handedBack, true))
        cv::theRNG() = randomBefore;
    failure = nullptr;
}

void ForegroundLearner::work()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return busy || stopping; });
        if (stopping)
            return;
        lock.unlock();
        std::exception_ptr thrown;
        try {
            cv::theRNG() = random;
            learnForeground(frame, *model, *foreground);
            random = cv::theRNG();
        } catch (...) {
            thrown = std::current_exception();
        }
        lock.lock();
        failure = thrown;
        frame.release();
        busy = false;
        changed.notify_all();
    }
}

void learnForeground(const cv::Mat &frame, cv::BackgroundSubtractor &model, cv::Mat &foreground)
{
    model.apply(frame, foreground, 0.03);
    // A MOG2 mask without shadows holds only 0 and 255 already: the threshold would
    // change nothing, and costs 2 to 5 % of a frame.
    const auto *mog2 = dynamic_cast<const cv::BackgroundSubtractorMOG2 *>(&model);
    if (!mog2 || mog2->getDetectShadows())
        cv::threshold(foreground, foreground, 25, 255, cv::THRESH_BINARY);

    // Erode away speckle, then dilate more than was eroded to join the pieces of one object.
    cv::Mat kernel_erode = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5), cv::Point(-1, -1));
    cv::Mat kernel_dilate = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(11, 11), cv::Point(-1, -1));
    cv::erode(foreground, foreground, kernel_erode, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
              cv::morphologyDefaultBorderValue());
    cv::dilate(foreground, foreground, kernel_dilate, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
               cv::morphologyDefaultBorderValue());
}
