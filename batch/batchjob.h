#ifndef BATCHJOB_H
#define BATCHJOB_H

#include "batchoptions.h"
#include "linecounter.h"
#include "motscore.h"
#include "videosource.h"

#include <QString>
#include <QStringList>

class ProgressBoard;

// One input of kestrovix-batch: its run at full speed, its results beside it or in the
// folder given, and its summary.
class BatchJob
{
public:
    enum Outcome { Complete, Interrupted, Failed };

    BatchJob(const QString &input, const BatchOptions &options);

    // What its results are called: NAME.boxes.csv, … where NAME is the video's.
    QString name() const { return baseName; }
    QString outputPath(const QString &suffix) const;
    // Whether it may begin: false, with `problem` saying why, when results of it are
    // there already (without --force) or cannot be written where they go.
    bool mayBegin(QString *problem) const;
    Outcome run(ProgressBoard &board);
    // Why it failed, naming the input.
    QString problem() const { return failure; }

private:
    void writeSummary(Outcome outcome, int frames, double seconds, const std::vector<LineCount> &counts,
                      const MotScore *score) const;

    QString input;
    VideoSource source;
    const BatchOptions &options;
    QString directory;
    QString baseName;
    QString failure;
    QString ending;  // how a live source ended
};

#endif // BATCHJOB_H
