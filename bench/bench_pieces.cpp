// Every hand-written speed-up of the program against the plain way the libraries
// offer for the same thing, in the automatic run at 768 x 576 and 1280 x 720:
//   - the sleeping thread pool against OpenCV's own threads (TBB in Debian's build,
//     its pthreads pool in the Windows one) and against a single thread
//     (cv::setNumThreads(1));
//   - the frame scaler against Qt's own fast scale and conversion, and against
//     cv::resize with INTER_NEAREST plus cv::cvtColor;
//   - the picture area's background painted only beside the picture against the
//     style's painted under it, also in the window grown to show frames one to one.
// (An allocator that put large images on huge pages, paired here with glibc's
// glibc.malloc.hugetlb=1 tunable and with ordinary pages, did not win and is gone.)
// Each run is a process of its own, in turn with the others; one run plays the whole
// video in the main window (as it opens, unless "1:1"), as the automatic run does: decoding, the step,
// presenting the frame, and the 10 ms wait that serves the window. What a person
// watching sees is the interval between two repaints of the picture.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bench_pieces [repetitions, 5 by default]
//
// prints, for each piece and plain way, medians of the runs: CPU and wall time as the
// piece's share of the plain way's, and the repaint interval's median, 99th
// percentile and maximum over all frames of those runs. bench/bench-pieces-wine.sh
// runs the Windows build's under Wine.

#include "automaticrecognition.h"
#include "backgroundaudio.h"
#include "benchmedia.h"
#include "kestrovix.h"
#include "highguibridge.h"
#include "sleepingthreadpool.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QProcess>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace {

// How a run is set up: the program as it is, or with one piece swapped for a plain way.
struct Setup
{
    const char *name;
    const char *piece;
    const char *plainWay;
};

const std::vector<Setup> kSetups = {
    {"program", "", ""},
    {"opencv-threads", "thread pool", "OpenCV's own threads"},
    {"one-thread", "thread pool", "cv::setNumThreads(1)"},
    {"qt-scale", "frame scaler", "QImage::scaled, fast"},
    {"cv-resize", "frame scaler", "cv::resize NEAREST + cvtColor"},
    {"background-under", "background beside", "style's background under it"},
    // In the window grown to show frames one to one, where the picture covers most of it.
    {"program 1:1", "", ""},
    {"background-under 1:1", "background beside (1:1)", "style's background under it"},
};

bool oneToOne(const std::string &setup)
{
    return setup.size() > 4 && setup.compare(setup.size() - 4, 4, " 1:1") == 0;
}

// As OpenCV's build information names it.
std::string parallelFramework()
{
    const std::string information = cv::getBuildInformation();
    const std::string label = "Parallel framework:";
    const size_t start = information.find(label);
    if (start == std::string::npos)
        return "(not named)";
    const size_t from = information.find_first_not_of(' ', start + label.size());
    return information.substr(from, information.find('\n', from) - from);
}

double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Notes the time of every repaint of the picture area.
class RepaintClock : public QObject
{
public:
    explicit RepaintClock(QElapsedTimer *clock)
        : clock(clock)
    {
    }
    std::vector<double> times;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            times.push_back(clock->nsecsElapsed() / 1e6);
        return false;
    }

private:
    QElapsedTimer *clock;
};

// The frame shown in the picture area with Qt's own fast scale, or with OpenCV's.
void presentPlainly(QLabel *label, const cv::Mat &frame, bool withOpenCv)
{
    const QSize shown = QSize(frame.cols, frame.rows).scaled(label->size(), Qt::KeepAspectRatio);
    QImage image;
    if (withOpenCv) {
        cv::Mat small, bgra;
        cv::resize(frame, small, cv::Size(shown.width(), shown.height()), 0, 0, cv::INTER_NEAREST);
        cv::cvtColor(small, bgra, cv::COLOR_BGR2BGRA);
        image = QImage(bgra.data, bgra.cols, bgra.rows, static_cast<int>(bgra.step), QImage::Format_RGB32).copy();
    } else {
        const QImage whole(frame.data, frame.cols, frame.rows, static_cast<int>(frame.step), QImage::Format_BGR888);
        image = whole.scaled(label->size(), Qt::KeepAspectRatio, Qt::FastTransformation);
    }
    label->setPixmap(QPixmap::fromImage(image));
}

// One whole automatic run in this process, set up as `setup` says; prints its CPU and
// wall time in milliseconds and then every repaint interval.
int runOnce(int argc, char *argv[], const std::string &setup, const std::string &video)
{
    if (setup == "one-thread")
        cv::setNumThreads(1);
    else if (setup != "opencv-threads")
        runParallelLoopsOnSleepingThreads();

    QApplication app(argc, argv);
    g_audioStarted = 1;  // the sound is not the run's
    Kestrovix window;
    window.show();
    auto *label = window.findChild<QLabel *>("label");
    if (setup.rfind("background-under", 0) == 0) {
        label->removeEventFilter(&window);
        label->setAttribute(Qt::WA_OpaquePaintEvent, false);
    }
    cv::VideoCapture capture(video, cv::CAP_FFMPEG);
    if (oneToOne(setup)) {
        const QSize frame(int(capture.get(cv::CAP_PROP_FRAME_WIDTH)), int(capture.get(cv::CAP_PROP_FRAME_HEIGHT)));
        window.resize(window.size() - label->size() + frame);
    }
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        HighGuiBridge::instance().waitKey(5);
    }
    QElapsedTimer clock;
    RepaintClock repaints(&clock);
    label->installEventFilter(&repaints);

    clock.start();
    const double cpu = processCpuMs();
    cv::Ptr<cv::BackgroundSubtractorMOG2> model = createMovingObjectModel();
    cv::Mat frame, foreground, result;
    while (capture.read(frame)) {
        result = frame.clone();
        markMovingObjects(frame, *model, foreground, result);
        if (setup == "qt-scale" || setup == "cv-resize")
            presentPlainly(label, result, setup == "cv-resize");
        else
            window.presentFrame(std::move(result));
        HighGuiBridge::instance().waitKey(10);
    }
    const double wall = clock.nsecsElapsed() / 1e6;
    std::printf("%.3f %.3f", processCpuMs() - cpu, wall);
    for (size_t i = 1; i < repaints.times.size(); ++i)
        std::printf(" %.3f", repaints.times[i] - repaints.times[i - 1]);
    std::printf("\n");
    return 0;
}

struct Figures
{
    std::vector<double> cpu;
    std::vector<double> wall;
    std::vector<double> intervals;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, size_t(share * values.size()))];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "--run") == 0)
        return runOnce(argc, argv, argv[2], argv[3]);

    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!makeBenchMedia()) {
        std::fprintf(stderr, "bench_pieces: there is no synthetic scene to play\n");
        return 1;
    }
    std::printf("OpenCV's own threads here: %s\n", parallelFramework().c_str());
    for (int size = 0; size < 2; ++size) {
        const std::string video = benchMediaDirectory(size) + "/bike.avi";
        std::map<std::string, Figures> figures;
        for (int repetition = 0; repetition < repetitions; ++repetition) {
            // In turn, starting one further along each time.
            for (size_t i = 0; i < kSetups.size(); ++i) {
                const Setup &setup = kSetups[(i + repetition) % kSetups.size()];
                QProcess run;
                run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
                run.start(QCoreApplication::applicationFilePath(), {"--run", setup.name, QString::fromStdString(video)});
                if (!run.waitForFinished(300000) || run.exitCode() != 0) {
                    std::fprintf(stderr, "bench_pieces: the run \"%s\" failed\n", setup.name);
                    return 1;
                }
                const QStringList values = QString::fromLatin1(run.readAllStandardOutput()).split(' ');
                Figures &mine = figures[setup.name];
                mine.cpu.push_back(values.value(0).toDouble());
                mine.wall.push_back(values.value(1).toDouble());
                for (int v = 2; v < values.size(); ++v)
                    mine.intervals.push_back(values[v].toDouble());
            }
        }

        std::printf("\n%s, medians of %d runs; ratios are the piece's time over the plain way's\n",
                    kBenchSizes[size], repetitions);
        std::printf("%-26s %-30s %6s %6s   %-24s %-24s\n", "piece", "plain way", "CPU", "wall",
                    "piece interval ms", "plain interval ms");
        std::printf("%-26s %-30s %6s %6s   %-24s %-24s\n", "", "", "", "", "median / p99 / max",
                    "median / p99 / max");
        for (const Setup &setup : kSetups) {
            if (std::strcmp(setup.piece, "") == 0)
                continue;
            const Figures &program = figures[oneToOne(setup.name) ? "program 1:1" : "program"];
            const Figures &plain = figures[setup.name];
            std::printf("%-26s %-30s %6.3f %6.3f   %5.1f / %5.1f / %6.1f     %5.1f / %5.1f / %6.1f\n", setup.piece,
                        setup.plainWay, median(program.cpu) / median(plain.cpu),
                        median(program.wall) / median(plain.wall), median(program.intervals),
                        percentile(program.intervals, 0.99), percentile(program.intervals, 1.0),
                        median(plain.intervals), percentile(plain.intervals, 0.99), percentile(plain.intervals, 1.0));
        }
        for (const char *window : {"program", "program 1:1"}) {
            const Figures &program = figures[window];
            std::printf("the %s: CPU %.0f ms, wall %.0f ms a run; p99 interval %.2f× its median\n", window,
                        median(program.cpu), median(program.wall),
                        percentile(program.intervals, 0.99) / median(program.intervals));
        }
        std::fflush(stdout);
    }
    return 0;
}
