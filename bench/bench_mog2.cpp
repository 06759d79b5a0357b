// The background model step alone: the program's MOG2 against OpenCV's, on the same
// decoded frames of the synthetic scene at 768 x 576 and 1920 x 1080, with the run's
// 10 ms pause after each frame and without, in turn and in one process, both on the
// program's parallel loops:
//
//   build/bench/bench_mog2 [repetitions, 5 by default]
//
// prints the medians of the CPU time each model takes for a frame, the ratio, and
// whether every mask of every frame was the same.

#include "benchmedia.h"
#include "mog2model.h"
#include "sleepingthreadpool.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace {

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Every frame through `model`, its masks kept; returns the CPU time a frame.
double cpuPerFrame(cv::BackgroundSubtractor &model, const std::vector<cv::Mat> &frames, bool paced,
                   std::vector<cv::Mat> &masks)
{
    masks.resize(frames.size());
    double cpu = 0;
    cv::Mat mask;  // one for every frame, as the run keeps it: no page faults in the step
    for (size_t i = 0; i < frames.size(); ++i) {
        const double before = processCpuSeconds();
        model.apply(frames[i], mask, 0.03);
        cpu += processCpuSeconds() - before;
        mask.copyTo(masks[i]);
        if (paced)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return cpu / frames.size();
}

} // namespace

int main(int argc, char *argv[])
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!makeBenchMedia())
        return 1;
    runParallelLoopsOnSleepingThreads();
    std::printf("the program's model in %d lanes\n", Mog2Model(500, 16, false).laneCount());
    std::printf("%-10s %-6s %14s %14s %7s %11s\n", "size", "paced", "OpenCV ms/fr", "ours ms/fr", "ratio", "same masks");
    for (const int size : {0, 2}) {
        std::vector<cv::Mat> frames;
        cv::VideoCapture capture(benchMediaDirectory(size) + "/bike.avi", cv::CAP_FFMPEG);
        for (cv::Mat frame; capture.read(frame);)
            frames.push_back(frame.clone());
        for (const bool paced : {false, true}) {
            std::vector<double> theirs, ours;
            bool same = true;
            for (int turn = 0; turn < repetitions; ++turn) {
                std::vector<cv::Mat> opencvMasks, ourMasks;
                cv::Ptr<cv::BackgroundSubtractorMOG2> opencv = cv::createBackgroundSubtractorMOG2(500, 16, false);
                Mog2Model model(500, 16, false);
                // The other first every other time.
                if (turn % 2 == 0) {
                    theirs.push_back(cpuPerFrame(*opencv, frames, paced, opencvMasks));
                    ours.push_back(cpuPerFrame(model, frames, paced, ourMasks));
                } else {
                    ours.push_back(cpuPerFrame(model, frames, paced, ourMasks));
                    theirs.push_back(cpuPerFrame(*opencv, frames, paced, opencvMasks));
                }
                for (size_t i = 0; i < frames.size(); ++i)
                    same = same && cv::countNonZero(opencvMasks[i] != ourMasks[i]) == 0;
            }
            std::printf("%-10s %-6s %14.2f %14.2f %7.2f %11s\n", kBenchSizes[size], paced ? "10 ms" : "no",
                        1000 * median(theirs), 1000 * median(ours), median(theirs) / median(ours), same ? "yes" : "NO");
        }
    }
    return 0;
}
