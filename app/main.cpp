#include "hugepages.h"
#include "kestrovix.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    placeLargeImagesOnHugePages();
    QApplication a(argc, argv);
    Kestrovix w;
    w.show();
    return a.exec();
}
