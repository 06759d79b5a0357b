#include "runresults.h"

#include <QCoreApplication>

namespace {

RunResults *newestRun = nullptr;

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

    if (files.boxes.isEmpty())
        return;
    boxes.setFileName(files.boxes);
    if (!boxes.open(QIODevice::WriteOnly | QIODevice::Truncate))
        report(QCoreApplication::translate("RunResults", "Cannot write the boxes to %1: %2.")
                   .arg(files.boxes, boxes.errorString()));
}

RunResults::~RunResults()
{
    finish();
}

void RunResults::frameShown(int frame, const cv::Mat &shown, const std::vector<cv::Rect> &boxes, int id)
{
    if (finished)
        return;
    writeRows(frame, boxes, id);

    if (files.video.isEmpty() || recordingFailed)
        return;
    if (!recorder.isOpen() && !recorder.open(files.video, shown.size(), fps)) {
        recordingFailed = true;
        report(recorder.error());
        return;
    }
    recorder.add(shown);
}

void RunResults::writeRows(int frame, const std::vector<cv::Rect> &rects, int id)
{
    if (!boxes.isOpen() || rects.empty())
        return;
    QByteArray rows;
    for (const cv::Rect &box : rects)
        rows += QString("%1,%2,%3,%4,%5,%6,1,-1,-1,-1\n")
                    .arg(frame)
                    .arg(id)
                    .arg(box.x)
                    .arg(box.y)
                    .arg(box.width)
                    .arg(box.height)
                    .toLatin1();
    // Handed to the system at once: a run that ends any way keeps what it showed.
    if (boxes.write(rows) != rows.size() || !boxes.flush()) {
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
    recorder.close();
    if (newestRun == this)
        newestRun = nullptr;
}
