#include "hugepages.h"
#include "kestrovix.h"
#include "sleepingthreadpool.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    placeLargeImagesOnHugePages();
    runParallelLoopsOnSleepingThreads();
    QApplication a(argc, argv);
    Kestrovix w;
    w.show();
    return a.exec();
}
