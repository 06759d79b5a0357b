#include "resultchooser.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>

#include <cstdio>

ResultChooser::ResultChooser(QMenuBar *menuBar, QStatusBar *statusBar, QWidget *window,
                             const std::function<void(const std::function<void()> &)> &outsideHighGui)
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
    connect(saveBoxes, &QAction::triggered, this, [this, outsideHighGui] {
        outsideHighGui([this] {
            choose(saveBoxes, &chosen.boxes, tr("Save Boxes"), "boxes.csv", tr("Boxes, MOT Challenge layout (*.csv *.txt)"));
        });
    });
    connect(recordVideo, &QAction::triggered, this, [this, outsideHighGui] {
        outsideHighGui([this] {
            choose(recordVideo, &chosen.video, tr("Record Video"), "recording.avi",
                   tr("Motion-JPEG video (*.avi);;MPEG-4 video (*.mp4)"));
        });
    });
    saveCrossings = menu->addAction(tr("Save &Crossings…"));
    saveCrossings->setCheckable(true);
    connect(saveCrossings, &QAction::triggered, this, [this, outsideHighGui] {
        outsideHighGui([this] {
            choose(saveCrossings, &chosen.crossings, tr("Save Crossings"), "crossings.csv",
                   tr("Crossings, frame,line,track,direction (*.csv)"));
        });
    });
    menu->addSeparator();
    scoreAgainst = menu->addAction(tr("&Score Against Ground Truth…"));
    scoreAgainst->setCheckable(true);
    connect(scoreAgainst, &QAction::triggered, this, [this, outsideHighGui] {
        outsideHighGui([this] {
            groundTruthFromCommandLine = false;
            choose(scoreAgainst, &chosen.groundTruth, tr("Score Against Ground Truth"), "gt.txt",
                   tr("Ground truth, MOT Challenge layout (*.txt *.csv);;All files (*)"), true);
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
    groundTruthFromCommandLine = !files.groundTruth.isEmpty();
    showFiles();
}

void ResultChooser::choose(QAction *action, QString *path, const QString &title, const QString &suggestedName,
                           const QString &filter, bool existing)
{
    // Unchecking the entry stops keeping that result, as does cancelling the dialog.
    path->clear();
    if (action->isChecked()) {
        QSettings settings;
        const QDir folder(settings.value("resultsFolder", QDir::homePath()).toString());
        *path = existing ? QFileDialog::getOpenFileName(window, title, folder.path(), filter)
                         : QFileDialog::getSaveFileName(window, title, folder.filePath(suggestedName), filter);
        if (!path->isEmpty())
            settings.setValue("resultsFolder", QFileInfo(*path).absolutePath());
    }
    showFiles();
}

void ResultChooser::showFiles()
{
    saveBoxes->setChecked(!chosen.boxes.isEmpty());
    recordVideo->setChecked(!chosen.video.isEmpty());
    scoreAgainst->setChecked(!chosen.groundTruth.isEmpty());
    saveCrossings->setChecked(!chosen.crossings.isEmpty());
    QStringList going;
    if (!chosen.boxes.isEmpty())
        going << tr("boxes to %1").arg(QFileInfo(chosen.boxes).fileName());
    if (!chosen.video.isEmpty())
        going << tr("recording to %1").arg(QFileInfo(chosen.video).fileName());
    if (!chosen.crossings.isEmpty())
        going << tr("crossings to %1").arg(QFileInfo(chosen.crossings).fileName());
    if (!chosen.groundTruth.isEmpty())
        going << tr("scored against %1").arg(QFileInfo(chosen.groundTruth).fileName());
    label->setText(going.join(", "));
    label->setToolTip(QStringList{chosen.boxes, chosen.video, chosen.crossings, chosen.groundTruth}.join('\n').trimmed());
}

void ResultChooser::showScore(const MotScore &score)
{
    label->setText(score.line());
    if (groundTruthFromCommandLine)
        return;
    auto *box = new QMessageBox(QMessageBox::Information, tr("Score"),
                                tr("Against %1:\n\n%2").arg(QDir::toNativeSeparators(chosen.groundTruth), score.line()),
                                QMessageBox::Ok, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ResultChooser::report(const QString &problem)
{
    label->setText(problem);
    std::fprintf(stderr, "kestrovix: %s\n", problem.toUtf8().constData());
    std::fflush(stderr);
}
