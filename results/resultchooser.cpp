#include "resultchooser.h"

#include "keywait.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>

#include <cstdio>

ResultChooser::ResultChooser(QMenuBar *menuBar, QStatusBar *statusBar, QWidget *window)
    : QObject(window)
    , window(window)
{
    QMenu *menu = menuBar->addMenu(tr("&Results"));
    saveBoxes = menu->addAction(tr("Save &Boxes…"));
    saveBoxes->setCheckable(true);
    saveBoxes->setShortcut(QKeySequence(tr("Ctrl+B")));
    recordVideo = menu->addAction(tr("&Record Video…"));
    recordVideo->setCheckable(true);
    recordVideo->setShortcut(QKeySequence(tr("Ctrl+R")));
    // A dialog never opens inside a HighGUI call, where a nested event loop would hang it.
    connect(saveBoxes, &QAction::triggered, this, [this] {
        runOutsideHighGui([this] {
            choose(saveBoxes, &chosen.boxes, tr("Save Boxes"), "boxes.csv", tr("Boxes, MOT Challenge layout (*.csv *.txt)"));
        });
    });
    connect(recordVideo, &QAction::triggered, this, [this] {
        runOutsideHighGui([this] {
            choose(recordVideo, &chosen.video, tr("Record Video"), "recording.avi",
                   tr("Motion-JPEG video (*.avi);;MPEG-4 video (*.mp4)"));
        });
    });

    label = new QLabel(statusBar);
    label->setObjectName("resultStatus");
    // A long message is cut short rather than widening the window.
    label->setMinimumWidth(1);
    statusBar->addPermanentWidget(label);
}

void ResultChooser::setFiles(const ResultFiles &files)
{
    chosen = files;
    showFiles();
}

void ResultChooser::choose(QAction *action, QString *path, const QString &title, const QString &suggestedName,
                           const QString &filter)
{
    // Unchecking the entry stops keeping that result, as does cancelling the dialog.
    path->clear();
    if (action->isChecked()) {
        QSettings settings;
        const QDir folder(settings.value("resultsFolder", QDir::homePath()).toString());
        *path = QFileDialog::getSaveFileName(window, title, folder.filePath(suggestedName), filter);
        if (!path->isEmpty())
            settings.setValue("resultsFolder", QFileInfo(*path).absolutePath());
    }
    showFiles();
}

void ResultChooser::showFiles()
{
    saveBoxes->setChecked(!chosen.boxes.isEmpty());
    recordVideo->setChecked(!chosen.video.isEmpty());
    QStringList going;
    if (!chosen.boxes.isEmpty())
        going << tr("boxes to %1").arg(QFileInfo(chosen.boxes).fileName());
    if (!chosen.video.isEmpty())
        going << tr("recording to %1").arg(QFileInfo(chosen.video).fileName());
    label->setText(going.join(", "));
    label->setToolTip(QStringList{chosen.boxes, chosen.video}.join('\n').trimmed());
}

void ResultChooser::report(const QString &problem)
{
    label->setText(problem);
    std::fprintf(stderr, "kestrovix: %s\n", problem.toUtf8().constData());
    std::fflush(stderr);
}
