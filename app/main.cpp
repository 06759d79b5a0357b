#include "commandline.h"
#include "kestrovix.h"
#include "sleepingthreadpool.h"
#include "videoinput.h"

#include <QApplication>

#include <opencv2/core/utils/logger.hpp>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName("Kestrovix");
    QCoreApplication::setApplicationName("kestrovix");
    QCoreApplication::setApplicationVersion(KESTROVIX_VERSION);
    CommandLine commandLine;
    commandLine.methods = MethodChoice::stored();
    const int exitCode = readCommandLine(argc, argv, &commandLine);
    if (exitCode >= 0)
        return exitCode;

    // OpenCV's warnings (a camera that is not there, a stream that stalls) mean nothing
    // to a user; the program says what went wrong itself. OPENCV_LOG_LEVEL still rules.
    if (qEnvironmentVariableIsEmpty("OPENCV_LOG_LEVEL"))
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR);
    runParallelLoopsOnSleepingThreads();
    QApplication a(argc, argv);
    Kestrovix w;
    w.show();
    if (commandLine.methodsGiven)
        w.useMethods(commandLine.methods);
    w.keepResultsIn(commandLine.results);
    w.useFrameRange(commandLine.firstFrame, commandLine.lastFrame);
    if (commandLine.sourceGiven)
        w.useSource(commandLine.source);
    if (!commandLine.analysis.isEmpty())
        w.useAnalysis(commandLine.analysis);
    const int status = a.exec();
    // A stream that never answered may still hold a thread in FFmpeg, which the
    // libraries' static destructors would pull the ground from under.
    if (VideoInput::anyCallStillRunning()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
