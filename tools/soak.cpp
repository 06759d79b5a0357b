// Runs many recognitions in one process and prints the resident memory after each,
// to show that runs give back what they take:
//
//   xvfb-run -a build/tools/soak [automatic-runs [manual-runs]]     (default 20 and 10)
//
// The manual runs end their region selection the way the close button of "output"
// does, so they track from the region of the previous run (the target's first box
// at the start).

#include "kestrovix.h"
#include "highguibridge.h"
#include "regionselection.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

double residentMegabytes()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int automaticRuns = argc > 1 ? std::atoi(argv[1]) : 20;
    const int manualRuns = argc > 2 ? std::atoi(argv[2]) : 10;

    Kestrovix w;
    w.show();
    QApplication::processEvents();
    std::printf("start: %.1f MB\n", residentMegabytes());

    double first = 0;
    for (int i = 1; i <= automaticRuns; ++i) {
        w.onOpencvpic();
        const double now = residentMegabytes();
        if (i == 1)
            first = now;
        std::printf("automatic %2d: %.1f MB (%+.1f since the first)\n", i, now, now - first);
        std::fflush(stdout);
    }

    g_roi = cv::Rect(142, 138, 36, 36);
    for (int i = 1; i <= manualRuns; ++i) {
        QTimer::singleShot(400, [] { HighGuiBridge::instance().destroyLater("output"); });
        w.videoplay();
        const double now = residentMegabytes();
        if (i == 1)
            first = now;
        std::printf("manual %2d: %.1f MB (%+.1f since the first)\n", i, now, now - first);
        std::fflush(stdout);
    }
    return 0;
}
