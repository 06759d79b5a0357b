#include "kestrovix.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    Kestrovix w;
    w.show();
    return a.exec();
}
