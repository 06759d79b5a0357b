#include "benchmedia.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

const int kBenchSizeCount = 3;
const char *const kBenchSizes[kBenchSizeCount] = {"768x576", "1280x720", "1920x1080"};

std::string benchMediaDirectory(int sizeIndex)
{
    const QByteArray given = qgetenv("KESTROVIX_BENCH_MEDIA");
    return (given.isEmpty() ? std::string(KESTROVIX_BENCH_MEDIA) : given.toStdString()) + "/" + kBenchSizes[sizeIndex];
}

bool makeBenchMedia()
{
    for (int index = 0; index < kBenchSizeCount; ++index) {
        const QString directory = QString::fromStdString(benchMediaDirectory(index));
        if (QFileInfo::exists(directory + "/bike.avi") && QFileInfo::exists(directory + "/video3.mp4"))
            continue;
#ifdef KESTROVIX_MAKEMEDIA
        std::fprintf(stderr, "Making the synthetic scene at %s...\n", kBenchSizes[index]);
        QDir().mkpath(directory);
        if (QProcess::execute(KESTROVIX_MAKEMEDIA, {directory, kBenchSizes[index]}) != 0)
            return false;
#else
        std::fprintf(stderr, "No synthetic scene in %s: set KESTROVIX_BENCH_MEDIA to the media of a build that makes them.\n",
                     qPrintable(QDir::toNativeSeparators(directory)));
        return false;
#endif
    }
    return true;
}
