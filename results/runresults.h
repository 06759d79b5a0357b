#ifndef RUNRESULTS_H
#define RUNRESULTS_H

#include "motscore.h"
#include "videorecorder.h"

#include <QFile>
#include <QString>

#include <opencv2/core.hpp>

#include <functional>
#include <vector>

// The files a run keeps its results in; an empty name keeps nothing.
struct ResultFiles
{
    QString boxes;  // the boxes, as rows of a MOT Challenge CSV file
    QString video;  // the frames shown, with their boxes
    QString groundTruth = QString();  // a MOT Challenge file the boxes are scored against
    QString crossings = QString();    // the crossings of the counting lines, a row each
};

// One run's results, written as the run goes: a row of the CSV file for every box,
// flushed at once, so that a run ended any way keeps every frame it showed, and every
// frame shown into the recording. A file that cannot be written is reported once
// through `report`; the run goes on without it. With ground truth, the rows are also
// kept, and scored when the run is finished.
//
// Only the newest run of a thread writes: a run started inside another (a click during
// a run) finishes the older one's files first, since both would write the same files.
class RunResults
{
public:
    // The id of a row's box: the tracked object, or none (the automatic recognition's).
    static constexpr int trackedObject = 1;
    static constexpr int noIdentity = -1;

    RunResults(const ResultFiles &files, double fps, const std::function<void(const QString &)> &report);
    ~RunResults();
    RunResults(const RunResults &) = delete;
    RunResults &operator=(const RunResults &) = delete;

    // The frame numbered `frame` (from 1) has been shown as `shown`, with `boxes` on
    // it, each with its id.
    void frameShown(int frame, const cv::Mat &shown, const std::vector<cv::Rect> &boxes, const std::vector<int> &ids);
    void frameShown(int frame, const cv::Mat &shown, const std::vector<cv::Rect> &boxes, int id);
    // The object numbered `track` crossed line `line` (from 1) in `frame`, to the line's
    // right (+1) or left (−1): a row "frame,line,track,direction".
    void crossed(int frame, int line, int track, int direction);
    // Finishes both files, and scores the rows; nothing is written after this.
    void finish();
    // After finish(), when there was ground truth that could be read.
    bool isScored() const { return scored; }
    MotScore score() const { return runScore; }

private:
    void writeRows(int frame, const std::vector<cv::Rect> &boxes, const std::vector<int> &ids);

    ResultFiles files;
    double fps;
    std::function<void(const QString &)> report;
    QFile boxes;
    QFile crossings;
    VideoRecorder recorder;
    bool recordingFailed = false;
    bool finished = false;
    bool scoring = false;
    std::vector<MotBox> truth;
    std::vector<MotBox> rows;
    bool scored = false;
    MotScore runScore;
};

#endif // RUNRESULTS_H
