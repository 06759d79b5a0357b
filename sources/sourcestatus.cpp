#include "sourcestatus.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>

#include <cstdio>

SourceStatus::SourceStatus(QStatusBar *bar)
{
    if (!bar)
        return;
    label = new QLabel(bar);
    label->setObjectName("sourceStatus");
    // A long message is cut short rather than widening the window.
    label->setMinimumWidth(1);
    bar->addWidget(label, 1);
}

void SourceStatus::showSource(const QString &text)
{
    description = text;
    label->setText(description);
}

void SourceStatus::showFrame(int number, bool now, const QString &note)
{
    if (!now && sinceFrameShown.isValid() && sinceFrameShown.elapsed() < 200)
        return;
    sinceFrameShown.start();
    QString text = QCoreApplication::translate("SourceStatus", "%1 — frame %2").arg(description, QString::number(number));
    if (!note.isEmpty())
        text += " — " + note;
    label->setText(text);
}

void SourceStatus::showProblem(const QString &message)
{
    label->setText(message);
    std::fprintf(stderr, "kestrovix: %s\n", message.toUtf8().constData());
    std::fflush(stderr);
}
