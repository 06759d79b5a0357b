// The background model step alone: the program's MOG2 against OpenCV's, on the same
// decoded frames of the synthetic scene at 768 x 576 and 1920 x 1080, with the run's
// 10 ms pause after each frame and without, in turn and in one process, both on the
// program's parallel loops:
//
//   build/bench/bench_mog2 [repetitions, 5 by default]
//
// prints the medians of the CPU time each model takes for a frame, the ratio, and
// whether every mask of every frame was the same; then what the rest of a frame's work
// in the automatic run costs, piece by piece, on the program's masks. (*) The run leaves
// the threshold out for a MOG2 without shadows: it would change none of its masks.

#include "automaticrecognition.h"
#include "benchmedia.h"
#include "mog2model.h"
#include "sleepingthreadpool.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
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

// The median CPU time a frame of `piece(i)` over every frame, `repetitions` times.
template <typename Piece>
double medianCpu(int repetitions, size_t frames, Piece piece)
{
    std::vector<double> turns;
    for (int turn = 0; turn < repetitions; ++turn) {
        const double before = processCpuSeconds();
        for (size_t i = 0; i < frames; ++i)
            piece(i);
        turns.push_back((processCpuSeconds() - before) / frames);
    }
    return median(turns);
}

// The automatic run's work after the model's step, as findMovingObjects and the run do it.
void measureTheRest(const std::vector<cv::Mat> &frames, const std::vector<cv::Mat> &masks, double modelCpu,
                    int repetitions)
{
    const cv::Mat erodeKernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
    const cv::Mat dilateKernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(11, 11));
    std::vector<cv::Mat> thresholded(masks.size()), eroded(masks.size()), dilated(masks.size());
    cv::Mat shown;
    const std::pair<const char *, double> pieces[] = {
        {"threshold (*)", medianCpu(repetitions, masks.size(), [&](size_t i) {
             cv::threshold(masks[i], thresholded[i], 25, 255, cv::THRESH_BINARY);
         })},
        {"erode 5x5", medianCpu(repetitions, masks.size(), [&](size_t i) {
             cv::erode(thresholded[i], eroded[i], erodeKernel, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                       cv::morphologyDefaultBorderValue());
         })},
        {"dilate 11x11", medianCpu(repetitions, masks.size(), [&](size_t i) {
             cv::dilate(eroded[i], dilated[i], dilateKernel, cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                        cv::morphologyDefaultBorderValue());
         })},
        {"contours", medianCpu(repetitions, masks.size(), [&](size_t i) { findMiddlingContours(dilated[i]); })},
        {"copy shown", medianCpu(repetitions, frames.size(), [&](size_t i) { frames[i].copyTo(shown); })},
        {"mask shown", medianCpu(repetitions, masks.size(), [&](size_t i) {
             cv::cvtColor(dilated[i], shown, cv::COLOR_GRAY2BGR);
         })},
    };
    double total = modelCpu;
    for (const auto &piece : pieces)
        total += piece.second;
    std::printf("  %-14s %8.3f ms/fr %5.1f %%\n", "our model", 1000 * modelCpu, 100 * modelCpu / total);
    for (const auto &piece : pieces)
        std::printf("  %-14s %8.3f ms/fr %5.1f %%\n", piece.first, 1000 * piece.second, 100 * piece.second / total);
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
    std::vector<std::pair<std::vector<cv::Mat>, double>> rest;  // frames and our model's CPU a frame
    for (const int size : {0, 2}) {
        std::vector<cv::Mat> frames;
        cv::VideoCapture capture(benchMediaDirectory(size) + "/bike.avi", cv::CAP_FFMPEG);
        for (cv::Mat frame; capture.read(frame);)
            frames.push_back(frame.clone());
        double unpacedOurs = 0;
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
            if (!paced)
                unpacedOurs = median(ours);
        }
        rest.emplace_back(std::move(frames), unpacedOurs);
    }
    for (size_t i = 0; i < rest.size(); ++i) {
        std::printf("the rest of a frame at %s, unpaced, as shares of the frame's CPU:\n", kBenchSizes[i == 0 ? 0 : 2]);
        Mog2Model model(500, 16, false);
        std::vector<cv::Mat> masks(rest[i].first.size());
        for (size_t f = 0; f < masks.size(); ++f)
            model.apply(rest[i].first[f], masks[f], 0.03);
        measureTheRest(rest[i].first, masks, rest[i].second, repetitions);
    }
    return 0;
}
