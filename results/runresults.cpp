#include "runresults.h"

#include <QCoreApplication>

namespace {

// Runs nest on one thread (a click during a run); runs on other threads (the console
// program's inputs) write files of their own.
thread_local RunResults *newestRun = nullptr;

// A rate as sources report it when they know none: 0, or a stream's time base.
bool plausibleRate(double fps)
{
    return fps > 0 && fps <= 240;
}

} // namespace

RunResults::RunResults(const ResultFiles &files, double fps, const std::function<void(const QString &)> &report)
    : files(files)
    , fps(plausibleRate(fps) ? fps : 25)
    , report(report)
{
    if (newestRun)
        newestRun->finish();
    newestRun = this;

    if (!files.groundTruth.isEmpty()) {
        QString problem;
        scoring = readGroundTruth(files.groundTruth, &truth, &problem);
        if (!scoring)
            report(problem);
    }

    if (!files.crossings.isEmpty()) {
        crossings.setFileName(files.crossings);
        if (!crossings.open(QIODevice::WriteOnly | QIODevice::Truncate))
            report(QCoreApplication::translate("RunResults", "Cannot write the crossings to %1: %2.")
                       .arg(files.crossings, crossings.errorString()));
    }
    if (files.boxes.isEmpty())
        return;
    boxes.setFileName(files.boxes);
    if (!boxes.open(QIODevice::WriteOnly | QIODevice::Truncate))
        report(QCoreApplication::translate("RunResults", "Cannot write the boxes to %1: %2.")
                   .arg(files.boxes, boxes.errorString()));
}

void RunResults::crossed(int frame, int line, int track, int direction)
{
    if (finished || !crossings.isOpen())
        return;
    const QByteArray row = QString("%1,%2,%3,%4\n").arg(frame).arg(line).arg(track).arg(direction).toLatin1();
    if (crossings.write(row) != row.size() || !crossings.flush()) {
        report(QCoreApplication::translate("RunResults", "Cannot write the crossings to %1: %2.")
                   .arg(files.crossings, crossings.errorString()));
        crossings.close();
    }
}

RunResults::~RunResults()
{
    finish();
}

void RunResults::frameShown(int frame, const cv::Mat &shown, const std::vector<cv::Rect> &boxes, int id)
{
    frameShown(frame, shown, boxes, std::vector<int>(boxes.size(), id));
}

void RunResults::frameShown(int frame, const cv::Mat &shown, const std::vector<cv::Rect> &boxes,
                            const std::vector<int> &ids)
{
    if (finished)
        return;
    writeRows(frame, boxes, ids);
    if (scoring)
        for (size_t i = 0; i < boxes.size(); ++i)
            rows.push_back({frame, ids[i], cv::Rect2d(boxes[i])});

    if (files.video.isEmpty() || recordingFailed)
        return;
    if (!recorder.isOpen() && !recorder.open(files.video, shown.size(), fps)) {
        recordingFailed = true;
        report(recorder.error());
        return;
    }
    recorder.add(shown);
}

void RunResults::writeRows(int frame, const std::vector<cv::Rect> &rects, const std::vector<int> &ids)
{
    if (!boxes.isOpen() || rects.empty())
        return;
    QByteArray lines;
    for (size_t i = 0; i < rects.size(); ++i)
        lines += QString("%1,%2,%3,%4,%5,%6,1,-1,-1,-1\n")
                     .arg(frame)
                     .arg(ids[i])
                     .arg(rects[i].x)
                     .arg(rects[i].y)
                     .arg(rects[i].width)
                     .arg(rects[i].height)
                     .toLatin1();
    // Handed to the system at once: a run that ends any way keeps what it showed.
    if (boxes.write(lines) != lines.size() || !boxes.flush()) {
        report(QCoreApplication::translate("RunResults", "Cannot write the boxes to %1: %2.")
                   .arg(files.boxes, boxes.errorString()));
        boxes.close();
    }
}

void RunResults::finish()
{
    if (finished)
        return;
    finished = true;
    boxes.close();
    crossings.close();
    recorder.close();
    if (scoring) {
        runScore = scoreAgainst(truth, rows);
        scored = true;
    }
    if (newestRun == this)
        newestRun = nullptr;
}
