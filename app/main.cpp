#include "commandline.h"
#include "hugepages.h"
#include "kestrovix.h"
#include "sleepingthreadpool.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName("Kestrovix");
    QCoreApplication::setApplicationName("kestrovix");
    QCoreApplication::setApplicationVersion(KESTROVIX_VERSION);
    CommandLine commandLine;
    const int exitCode = readCommandLine(argc, argv, &commandLine);
    if (exitCode >= 0)
        return exitCode;

    placeLargeImagesOnHugePages();
    runParallelLoopsOnSleepingThreads();
    QApplication a(argc, argv);
    Kestrovix w;
    w.show();
    if (commandLine.sourceGiven)
        w.useSource(commandLine.source);
    return a.exec();
}
