#ifndef BATCHOPTIONS_H
#define BATCHOPTIONS_H

#include "runoptions.h"

#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

// What kestrovix-batch is asked for: the inputs, how each is recognised, and where
// its results go.
struct BatchOptions
{
    QStringList inputs;   // files or URLs
    RunOptions run;
    bool manual = false;  // --track: the manual recognition, from this region on frame 1
    cv::Rect track;
    QString outDirectory; // empty: beside each video
    int jobs = 1;         // inputs at once
    bool record = false;
    bool force = false;
    bool quiet = false;
    QString summarize;    // --summarize DIR: merge the summaries there instead
};

// Reads the command line. Returns the exit code to end with at once (0 after --help or
// --version, 2 after a mistake, with a message on standard error), or -1 to go on.
int readBatchOptions(const QStringList &arguments, BatchOptions *options);

#endif // BATCHOPTIONS_H
