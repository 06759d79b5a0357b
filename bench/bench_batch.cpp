// The console program, kestrovix-batch, at full speed against the bare OpenCV loop a
// user would write for the same rows: read, apply, threshold, erode, dilate and
// contours, in one thread of control. Each run is a process of its own, in turn with
// the other, on the synthetic scene at 768 x 576 and 1920 x 1080:
//
//   build/bench/bench_batch [repetitions, 5 by default]
//
// prints, for each size, the medians of the frames a second of both and their ratio,
// the cores each kept busy (CPU time over wall time), and whether their rows are the
// same; then the program on two inputs with --jobs 2 against --jobs 1.

#include "barestep.h"
#include "benchmedia.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Cost
{
    double wall = 0;  // seconds
    double cpu = 0;   // seconds, every thread
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Runs a command, as a process of its own, and what it cost.
Cost costOfProcess(const std::vector<std::string> &command)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char *> argv;
        for (const std::string &argument : command)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "bench_batch: %s failed\n", command[0].c_str());
    return {wall, usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6};
}

// The bare loop, in this process when started as "bench_batch --bare VIDEO ROWS".
int bareLoop(const char *video, const char *rows)
{
    cv::VideoCapture capture(video, cv::CAP_FFMPEG);
    cv::Ptr<cv::BackgroundSubtractorMOG2> model = cv::createBackgroundSubtractorMOG2(500, 16, false);
    cv::Mat frame, foreground, result;
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Point> hull;
    FILE *out = std::fopen(rows, "w");
    for (int number = 1; capture.read(frame); ++number) {
        result = frame.clone();
        bareFrameStep(frame, *model, foreground, result, contours, hull);
        for (const auto &contour : contours) {
            cv::convexHull(contour, hull, false, true);
            const double area = cv::contourArea(hull);
            if (area > 500 && area < 1000) {
                const cv::Rect box = cv::boundingRect(contour);
                std::fprintf(out, "%d,-1,%d,%d,%d,%d,1,-1,-1,-1\n", number, box.x, box.y, box.width, box.height);
            }
        }
    }
    std::fclose(out);
    return 0;
}

int frameCount(const std::string &video)
{
    cv::VideoCapture capture(video, cv::CAP_FFMPEG);
    return static_cast<int>(capture.get(cv::CAP_PROP_FRAME_COUNT));
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && std::string(argv[1]) == "--bare")
        return bareLoop(argv[2], argv[3]);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!makeBenchMedia())
        return 1;
    const std::string self = QFileInfo(argv[0]).absoluteFilePath().toStdString();
    const std::string batch = KESTROVIX_BATCH;
    QTemporaryDir scratch;
    const std::string out = scratch.path().toStdString();

    std::printf("%-10s %12s %12s %8s %10s %11s %10s\n", "size", "bare fps", "batch fps", "ratio", "bare cores",
                "batch cores", "same rows");
    for (int size = 0; size < kBenchSizeCount; ++size) {
        if (std::string(kBenchSizes[size]) == "1280x720")
            continue;
        const std::string video = benchMediaDirectory(size) + "/bike.avi";
        const int frames = frameCount(video);
        std::vector<double> bareFps, batchFps, bareCores, batchCores;
        for (int turn = 0; turn < repetitions; ++turn) {
            // In turn, and the other first every other time.
            for (int side = 0; side < 2; ++side) {
                if ((side + turn) % 2 == 0) {
                    const Cost cost = costOfProcess({self, "--bare", video, out + "/bare.csv"});
                    bareFps.push_back(frames / cost.wall);
                    bareCores.push_back(cost.cpu / cost.wall);
                } else {
                    const Cost cost = costOfProcess({batch, "--quiet", "--force", "--out", out, video});
                    batchFps.push_back(frames / cost.wall);
                    batchCores.push_back(cost.cpu / cost.wall);
                }
            }
        }
        const bool same = contentOf(QString::fromStdString(out + "/bare.csv")) == contentOf(QString::fromStdString(out + "/bike.boxes.csv"));
        std::printf("%-10s %12.1f %12.1f %8.2f %10.2f %11.2f %10s\n", kBenchSizes[size], median(bareFps),
                    median(batchFps), median(batchFps) / median(bareFps), median(bareCores), median(batchCores),
                    same ? "yes" : "NO");
    }

    // Two inputs at once against one after the other.
    const std::string first = benchMediaDirectory(0) + "/bike.avi", second = benchMediaDirectory(0) + "/video3.mp4";
    std::vector<double> together, inTurn, cores;
    for (int turn = 0; turn < repetitions; ++turn) {
        const Cost both = costOfProcess({batch, "--quiet", "--force", "--jobs", "2", "--out", out, first, second});
        const Cost one = costOfProcess({batch, "--quiet", "--force", "--jobs", "1", "--out", out, first, second});
        together.push_back(both.wall);
        inTurn.push_back(one.wall);
        cores.push_back(both.cpu / both.wall);
    }
    std::printf("\ntwo inputs at %s: --jobs 2 %.2f s, --jobs 1 %.2f s (ratio %.2f); --jobs 2 keeps %.2f cores busy\n",
                kBenchSizes[0], median(together), median(inTurn), median(together) / median(inTurn), median(cores));
    return 0;
}
