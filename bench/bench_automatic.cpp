// How fast the automatic recognition runs and shows its frames, each against a
// baseline measured in the same run:
//   - the program's frame step against the bare OpenCV calls of that step, also
//     paired frame by frame;
//   - showing a frame in the picture area against cv::imshow + cv::waitKey(1),
//     the way OpenCV's samples show video;
//   - a whole run's wall time against frames x (10 ms + step + presentation).
//
// Run on an X display, e.g.:  xvfb-run build/bench/bench_automatic --benchmark_repetitions=5

#include "automaticrecognition.h"
#include "barestep.h"
#include "kestrovix.h"
#include "resourcedirectory.h"
#include "sleepingthreadpool.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <benchmark/benchmark.h>

#include <chrono>

#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace {

const std::vector<cv::Mat> &bikeFrames()
{
    static const std::vector<cv::Mat> frames = [] {
        std::vector<cv::Mat> all;
        cv::VideoCapture capture(resourcePath("bike.avi"), cv::CAP_ANY);
        cv::Mat frame;
        while (capture.read(frame))
            all.push_back(frame.clone());
        return all;
    }();
    return frames;
}

Kestrovix &window()
{
    static Kestrovix *w = [] {
        auto *created = new Kestrovix;
        created->show();
        QApplication::processEvents();
        return created;
    }();
    return *w;
}

void setLabelSize(const QSize &size)
{
    Kestrovix &w = window();
    const QSize margin = w.size() - w.findChild<QLabel *>("label")->size();
    w.resize(size + margin);
    QApplication::processEvents();
}

void BM_FrameStep_Program(benchmark::State &state)
{
    const std::vector<cv::Mat> &frames = bikeFrames();
    cv::Ptr<cv::BackgroundSubtractorMOG2> ptrMOG = createMovingObjectModel();
    cv::Mat foreground, result;
    size_t i = 0;
    for (auto _ : state) {
        const cv::Mat &frame = frames[i++ % frames.size()];
        result = frame.clone();
        benchmark::DoNotOptimize(markMovingObjects(frame, *ptrMOG, foreground, result));
    }
}

void BM_FrameStep_BareOpenCV(benchmark::State &state)
{
    const std::vector<cv::Mat> &frames = bikeFrames();
    cv::Ptr<cv::BackgroundSubtractorMOG2> ptrMOG = cv::createBackgroundSubtractorMOG2(500, 16.0, false);
    cv::Mat foreground, result;
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Point> hull;
    size_t i = 0;
    for (auto _ : state) {
        const cv::Mat &frame = frames[i++ % frames.size()];
        result = frame.clone();
        bareFrameStep(frame, *ptrMOG, foreground, result, contours, hull);
        benchmark::DoNotOptimize(result.data);
    }
}

// Both steps on the same frames, one after the other and in alternating order, so that
// a noisy machine slows both alike: the ratio of their totals over a pass of bike.avi.
void BM_FrameStep_ProgramVsBare(benchmark::State &state)
{
    const std::vector<cv::Mat> &frames = bikeFrames();
    double programSeconds = 0, bareSeconds = 0;
    for (auto _ : state) {
        cv::Ptr<cv::BackgroundSubtractorMOG2> programModel = createMovingObjectModel();
        cv::Ptr<cv::BackgroundSubtractorMOG2> bareModel = cv::createBackgroundSubtractorMOG2(500, 16.0, false);
        cv::Mat programForeground, bareForeground, result;
        std::vector<std::vector<cv::Point>> contours;
        std::vector<cv::Point> hull;
        for (size_t i = 0; i < frames.size(); ++i) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool programTurn = (turn == 0) == (i % 2 == 0);
                result = frames[i].clone();
                const auto start = std::chrono::steady_clock::now();
                if (programTurn)
                    markMovingObjects(frames[i], *programModel, programForeground, result);
                else
                    bareFrameStep(frames[i], *bareModel, bareForeground, result, contours, hull);
                const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                (programTurn ? programSeconds : bareSeconds) += seconds;
            }
        }
    }
    state.counters["program_vs_bare"] = programSeconds / bareSeconds;
}

void BM_Present_OneToOne(benchmark::State &state)
{
    const std::vector<cv::Mat> &frames = bikeFrames();
    setLabelSize(QSize(frames[0].cols, frames[0].rows));
    size_t i = 0;
    for (auto _ : state) {
        window().presentFrame(frames[i++ % frames.size()]);
        QApplication::processEvents();  // the repaint belongs to showing the frame
    }
}

void BM_Present_DefaultSize(benchmark::State &state)
{
    const std::vector<cv::Mat> &frames = bikeFrames();
    window().resize(719, 434);
    QApplication::processEvents();
    size_t i = 0;
    for (auto _ : state) {
        window().presentFrame(frames[i++ % frames.size()]);
        QApplication::processEvents();
    }
}

void BM_Imshow_WaitKey1(benchmark::State &state)
{
    const std::vector<cv::Mat> &frames = bikeFrames();
    size_t i = 0;
    for (auto _ : state) {
        cv::imshow("bench", frames[i++ % frames.size()]);
        cv::waitKey(1);
    }
    cv::destroyAllWindows();
}

// Whole run against its floor: 10 ms of waiting plus decoding, the step and the
// presentation for every frame.
void BM_AutomaticRun(benchmark::State &state)
{
    window().resize(719, 434);
    QApplication::processEvents();
    double ratioSum = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QElapsedTimer clock;
        clock.start();
        cv::VideoCapture capture(resourcePath("bike.avi"), cv::CAP_ANY);
        cv::Ptr<cv::BackgroundSubtractorMOG2> ptrMOG = createMovingObjectModel();
        cv::Mat frame, foreground, result;
        int frames = 0;
        while (capture.read(frame)) {
            result = frame.clone();
            markMovingObjects(frame, *ptrMOG, foreground, result);
            window().presentFrame(result);
            QApplication::processEvents();
            ++frames;
        }
        const double floorMs = clock.nsecsElapsed() / 1e6 + 10.0 * frames;
        state.ResumeTiming();

        clock.restart();
        window().onOpencvpic();
        ratioSum += clock.nsecsElapsed() / 1e6 / floorMs;
    }
    state.counters["run_vs_floor"] = ratioSum / state.iterations();
}

BENCHMARK(BM_FrameStep_Program);
BENCHMARK(BM_FrameStep_BareOpenCV);
BENCHMARK(BM_FrameStep_ProgramVsBare)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Present_OneToOne);
BENCHMARK(BM_Present_DefaultSize);
BENCHMARK(BM_Imshow_WaitKey1);
BENCHMARK(BM_AutomaticRun)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char *argv[])
{
    // Threads as the program sets them up, for the step and the run alike.
    runParallelLoopsOnSleepingThreads();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
