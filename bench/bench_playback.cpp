// Playback at the sizes users watch (768 x 576 and 1280 x 720), each against the loop a
// user could write with OpenCV alone on the same frames, measured in the same run:
//   - the program's whole automatic run against the same step shown with cv::imshow
//     and paced with cv::waitKey(10); wall and CPU time, as ratios to that loop, and
//     the CPU floor of showing nothing at all (decoding and the step, then a plain
//     sleep), with the CPU of the main thread and the page faults of each run;
//   - the manual run's tracking against the same CSRT tracker shown with cv::imshow
//     and cv::waitKey(1); CPU time, as a ratio;
//   - the automatic run recording what it shows (Motion-JPEG or MPEG-4) against the same
//     run without recording, at 768 x 576; wall and CPU time, as ratios;
//   - where the time of one automatic frame goes: decoding, the step, presentation,
//     the repaint and its flush to the X server, and how late the wait wakes.
// The two sides of a pair run one after the other, in alternating order.
//
// The media are the synthetic scene at those sizes, written into the build tree by
// the media generator the first time the benchmark runs. Run on an X display, e.g.:
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bench_playback --benchmark_repetitions=3

#include "automaticrecognition.h"
#include "backgroundaudio.h"
#include "barestep.h"
#include "benchmedia.h"
#include "kestrovix.h"
#include "highguibridge.h"
#include "manualrecognition.h"
#include "regionselection.h"
#include "resourcedirectory.h"
#include "runresults.h"
#include "sleepingthreadpool.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <opencv2/core/parallel/parallel_backend.hpp>
#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/tracking.hpp>
#include <opencv2/videoio.hpp>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace {

std::string mediaDirectory(int sizeIndex)
{
    return benchMediaDirectory(sizeIndex);
}

double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double wallMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long pageFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Cost
{
    double wall = 0;
    double cpu = 0;
    long faults = 0;
    double mainThreadCpu = 0;
};

Cost costOf(const std::function<void()> &run)
{
    const double wall = wallMs(), cpu = processCpuMs(), mainCpu = threadCpuMs();
    const long faults = pageFaults();
    run();
    return {wallMs() - wall, processCpuMs() - cpu, pageFaults() - faults, threadCpuMs() - mainCpu};
}

Kestrovix &window()
{
    static Kestrovix *w = [] {
        // The runs are measured without the background sound, which is not theirs.
        g_audioStarted = 1;
        auto *created = new Kestrovix;
        created->show();
        QApplication::processEvents();
        return created;
    }();
    return *w;
}

// The main window as it opens, or grown so that the picture area shows frames one to one.
void sizeWindow(bool oneToOne, const cv::Size &frame)
{
    Kestrovix &w = window();
    if (oneToOne) {
        const QSize margin = w.size() - w.findChild<QLabel *>("label")->size();
        w.resize(QSize(frame.width, frame.height) + margin);
    } else {
        w.resize(719, 434);
    }
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

cv::Size frameSize(const std::string &video)
{
    cv::VideoCapture capture(video, cv::CAP_ANY);
    return cv::Size(static_cast<int>(capture.get(cv::CAP_PROP_FRAME_WIDTH)),
                    static_cast<int>(capture.get(cv::CAP_PROP_FRAME_HEIGHT)));
}

// The program runs OpenCV's parallel loops on its own sleeping threads from its start;
// a user's loop runs with OpenCV's defaults. Each side of a pair runs as its own process
// would.
void setUpAsTheProgram()
{
    runParallelLoopsOnSleepingThreads();
}

void setUpAsPlainOpenCv()
{
    cv::parallel::setParallelForBackend(std::shared_ptr<cv::parallel::ParallelForAPI>());
}

// The automatic recognition in ten lines of OpenCV.
void peerAutomaticRun(const std::string &video)
{
    setUpAsPlainOpenCv();
    cv::VideoCapture capture(video, cv::CAP_ANY);
    cv::Ptr<cv::BackgroundSubtractorMOG2> model = cv::createBackgroundSubtractorMOG2(500, 16.0, false);
    cv::Mat frame, foreground, result;
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Point> hull;
    while (capture.read(frame)) {
        result = frame.clone();
        bareFrameStep(frame, *model, foreground, result, contours, hull);
        cv::imshow("peer", result);
        if (cv::waitKey(10) >= 0)
            break;
    }
    cv::destroyWindow("peer");
    cv::waitKey(1);
}

// The same work without showing anything: decoding and the step, paced by a plain
// sleep. No loop that shows its frames can use less CPU than this.
void unshownAutomaticRun(const std::string &video)
{
    setUpAsTheProgram();
    cv::VideoCapture capture(video, cv::CAP_ANY);
    cv::Ptr<cv::BackgroundSubtractorMOG2> model = createMovingObjectModel();
    cv::Mat frame, foreground, result;
    while (capture.read(frame)) {
        result = frame.clone();
        markMovingObjects(frame, *model, foreground, result);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// args: size index, window one-to-one (1) or as it opens (0).
void BM_AutomaticRunVsPeer(benchmark::State &state)
{
    const std::string directory = mediaDirectory(static_cast<int>(state.range(0)));
    const std::string video = directory + "/bike.avi";
    sizeWindow(state.range(1) != 0, frameSize(video));
    setResourceDirectory(directory);

    Cost program, peer, unshown;
    int turn = 0;
    for (auto _ : state) {
        const Cost floor = costOf([&] { unshownAutomaticRun(video); });
        unshown.cpu += floor.cpu;
        for (int side = 0; side < 2; ++side) {
            if ((side + turn) % 2 == 0) {
                setUpAsTheProgram();
                const Cost cost = costOf([] { window().onOpencvpic(); });
                program.wall += cost.wall;
                program.cpu += cost.cpu;
                program.faults += cost.faults;
                program.mainThreadCpu += cost.mainThreadCpu;
            } else {
                const Cost cost = costOf([&] { peerAutomaticRun(video); });
                peer.wall += cost.wall;
                peer.cpu += cost.cpu;
                peer.faults += cost.faults;
                peer.mainThreadCpu += cost.mainThreadCpu;
            }
        }
        ++turn;
    }
    state.counters["wall_vs_peer"] = program.wall / peer.wall;
    state.counters["cpu_vs_peer"] = program.cpu / peer.cpu;
    state.counters["unshown_cpu_vs_peer"] = unshown.cpu / peer.cpu;
    state.counters["run_ms"] = program.wall / state.iterations();
    state.counters["peer_ms"] = peer.wall / state.iterations();
    state.counters["run_cpu_ms"] = program.cpu / state.iterations();
    state.counters["peer_cpu_ms"] = peer.cpu / state.iterations();
    state.counters["run_faults"] = double(program.faults) / state.iterations();
    state.counters["run_main_cpu_ms"] = program.mainThreadCpu / state.iterations();
    state.counters["peer_main_cpu_ms"] = peer.mainThreadCpu / state.iterations();
    state.counters["peer_faults"] = double(peer.faults) / state.iterations();
}

// The region the user would drag around the target on the first frame.
cv::Rect targetOnFirstFrame(const std::string &directory)
{
    std::ifstream truth(directory + "/video3.truth.csv");
    std::string line;
    while (std::getline(truth, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        cv::Rect box;
        int frame = -1;
        if (std::sscanf(line.c_str(), "%d,%d,%d,%d,%d", &frame, &box.x, &box.y, &box.width, &box.height) == 5)
            return box;
    }
    return cv::Rect();
}

// The manual recognition in ten lines of OpenCV, with the user's selection ending after
// `selectionMs`; returns the cost of the tracking that follows it.
Cost peerManualRun(const std::string &video, const cv::Rect &selected, int selectionMs)
{
    setUpAsPlainOpenCv();
    cv::VideoCapture capture(video, cv::CAP_ANY);
    cv::Mat first, frame;
    capture.read(first);
    cv::imshow("output", first);
    for (const double start = wallMs(); wallMs() - start < selectionMs;)
        cv::waitKey(1);
    cv::destroyWindow("output");

    const Cost start{wallMs(), processCpuMs()};
    cv::Ptr<cv::TrackerCSRT> tracker = cv::TrackerCSRT::create(cv::TrackerCSRT::Params());
    capture.read(frame);
    cv::Rect box = selected;
    tracker->init(frame, box);
    while (capture.read(frame)) {
        if (tracker->update(frame, box))
            cv::rectangle(frame, box, cv::Scalar(255, 0, 0), 2, 1, 0);
        cv::imshow("peer", frame);
        if (cv::waitKey(1) == 113)
            break;
    }
    cv::destroyAllWindows();
    cv::waitKey(1);
    return {wallMs() - start.wall, processCpuMs() - start.cpu};
}

// The program's manual run, its selection ended after `selectionMs` as a button release
// would end it; returns the cost of the tracking that follows it.
Cost programManualRun(const cv::Rect &selected, int selectionMs)
{
    setUpAsTheProgram();
    Cost start;
    QTimer::singleShot(selectionMs, [&] {
        g_roi = selected;
        HighGuiBridge::instance().destroyLater("output");
        start = {wallMs(), processCpuMs()};
    });
    window().videoplay();
    return {wallMs() - start.wall, processCpuMs() - start.cpu};
}

// args: size index. The window is grown to show frames one to one, as "output" does.
void BM_ManualRunVsPeer(benchmark::State &state)
{
    const std::string directory = mediaDirectory(static_cast<int>(state.range(0)));
    const std::string video = directory + "/video3.mp4";
    const cv::Rect selected = targetOnFirstFrame(directory);
    sizeWindow(true, frameSize(video));
    setResourceDirectory(directory);

    Cost program, peer;
    int turn = 0;
    for (auto _ : state) {
        for (int side = 0; side < 2; ++side) {
            const Cost cost = (side + turn) % 2 == 0 ? programManualRun(selected, 300)
                                                     : peerManualRun(video, selected, 300);
            Cost &total = (side + turn) % 2 == 0 ? program : peer;
            total.wall += cost.wall;
            total.cpu += cost.cpu;
        }
        ++turn;
    }
    state.counters["cpu_vs_peer"] = program.cpu / peer.cpu;
    state.counters["wall_vs_peer"] = program.wall / peer.wall;
}

// args: the recording's format, Motion-JPEG (0) or MPEG-4 (1). At 768 x 576, as the
// window opens.
void BM_RecordingRunVsPlainRun(benchmark::State &state)
{
    const std::string directory = mediaDirectory(0);
    sizeWindow(false, frameSize(directory + "/bike.avi"));
    setResourceDirectory(directory);
    setUpAsTheProgram();
    const QString recording = QDir::temp().filePath(state.range(0) == 0 ? "bench-recording.avi" : "bench-recording.mp4");

    Cost recorded, plain;
    int turn = 0;
    for (auto _ : state) {
        for (int side = 0; side < 2; ++side) {
            const bool records = (side + turn) % 2 == 0;
            window().keepResultsIn(ResultFiles{QString(), records ? recording : QString()});
            const Cost cost = costOf([] { window().onOpencvpic(); });
            Cost &total = records ? recorded : plain;
            total.wall += cost.wall;
            total.cpu += cost.cpu;
        }
        ++turn;
    }
    window().keepResultsIn(ResultFiles());
    QFile::remove(recording);
    state.counters["wall_vs_plain"] = recorded.wall / plain.wall;
    state.counters["cpu_vs_plain"] = recorded.cpu / plain.cpu;
    state.counters["run_ms"] = recorded.wall / state.iterations();
    state.counters["plain_ms"] = plain.wall / state.iterations();
}

// The automatic run following identities against the same run without. At 768 x 576,
// as the window opens.
void BM_IdentitiesRunVsPlainRun(benchmark::State &state)
{
    const std::string directory = mediaDirectory(0);
    sizeWindow(false, frameSize(directory + "/bike.avi"));
    setResourceDirectory(directory);
    setUpAsTheProgram();

    Cost followed, plain;
    int turn = 0;
    for (auto _ : state) {
        for (int side = 0; side < 2; ++side) {
            MethodChoice methods;
            methods.identities = (side + turn) % 2 == 0;
            window().useMethods(methods);
            const Cost cost = costOf([] { window().onOpencvpic(); });
            Cost &total = methods.identities ? followed : plain;
            total.wall += cost.wall;
            total.cpu += cost.cpu;
        }
        ++turn;
    }
    window().useMethods(MethodChoice());
    state.counters["cpu_vs_plain"] = followed.cpu / plain.cpu;
    state.counters["wall_vs_plain"] = followed.wall / plain.wall;
}

// Where one frame of the automatic run goes, as the run does it: per-frame averages in
// milliseconds of wall time. args: size index, window one-to-one (1) or as it opens (0).
void BM_AutomaticFrameBreakdown(benchmark::State &state)
{
    const std::string video = mediaDirectory(static_cast<int>(state.range(0))) + "/bike.avi";
    sizeWindow(state.range(1) != 0, frameSize(video));

    setUpAsTheProgram();
    double decode = 0, step = 0, present = 0, repaint = 0, waitLate = 0, cpuPresent = 0;
    int frames = 0;
    for (auto _ : state) {
        cv::VideoCapture capture(video, cv::CAP_ANY);
        cv::Ptr<cv::BackgroundSubtractorMOG2> ptrMOG = createMovingObjectModel();
        cv::Mat frame, foreground, result;
        for (;;) {
            double t = wallMs();
            if (!capture.read(frame))
                break;
            decode += wallMs() - t;

            t = wallMs();
            result = frame.clone();
            markMovingObjects(frame, *ptrMOG, foreground, result);
            step += wallMs() - t;

            t = wallMs();
            const double cpu = processCpuMs();
            window().presentFrame(std::move(result));
            present += wallMs() - t;
            cpuPresent += processCpuMs() - cpu;

            t = wallMs();
            QApplication::processEvents();
            repaint += wallMs() - t;

            t = wallMs();
            HighGuiBridge::instance().waitKey(10);
            waitLate += wallMs() - t - 10;
            ++frames;
        }
    }
    state.counters["decode_ms"] = decode / frames;
    state.counters["step_ms"] = step / frames;
    state.counters["present_ms"] = present / frames;
    state.counters["present_cpu_ms"] = cpuPresent / frames;
    state.counters["repaint_flush_ms"] = repaint / frames;
    state.counters["wait_late_ms"] = waitLate / frames;
}

void sizesAndWindows(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgNames({"size", "one_to_one"});
    for (int size = 0; size < 2; ++size)
        for (int oneToOne = 0; oneToOne < 2; ++oneToOne)
            benchmark->Args({size, oneToOne});
}

BENCHMARK(BM_AutomaticFrameBreakdown)->Apply(sizesAndWindows)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AutomaticRunVsPeer)->Apply(sizesAndWindows)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordingRunVsPlainRun)->ArgName("mp4")->DenseRange(0, 1)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IdentitiesRunVsPlainRun)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ManualRunVsPeer)->ArgName("size")->DenseRange(0, 1)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (!makeBenchMedia()) {
        std::fprintf(stderr, "bench_playback: the media generator failed\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
