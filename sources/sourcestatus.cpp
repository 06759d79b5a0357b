#include "sourcestatus.h"

#include <QCoreApplication>
#include <QStatusBar>

#include <cstdio>

SourceStatus::SourceStatus(QStatusBar *bar)
    : bar(bar)
{
}

void SourceStatus::showSource(const QString &text)
{
    description = text;
    bar->showMessage(description);
}

void SourceStatus::showFrame(int number)
{
    bar->showMessage(QCoreApplication::translate("SourceStatus", "%1 — frame %2").arg(description).arg(number));
}

void SourceStatus::showProblem(const QString &message)
{
    bar->showMessage(message);
    std::fprintf(stderr, "kestrovix: %s\n", message.toUtf8().constData());
    std::fflush(stderr);
}
