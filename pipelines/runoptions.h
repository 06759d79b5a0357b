#ifndef RUNOPTIONS_H
#define RUNOPTIONS_H

#include "methods.h"
#include "sceneanalysis.h"

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

// What a recognition run is asked for on a command line, the window's or the console
// program's: the methods, identities, counting lines and regions, the frames to read
// and the ground truth to score against.
struct RunOptions
{
    MethodChoice methods;  // the caller's, with what the options change
    bool methodsGiven = false;
    SceneAnalysis analysis;
    int firstFrame = 1;
    int lastFrame = 0;  // 0: to the end
    QString groundTruth;
};

// The options both programs take, in one place.
class RunOptionReader
{
public:
    // Adds the options to `parser`.
    explicit RunOptionReader(QCommandLineParser &parser);

    // Reads what was given on top of `options`; the mistake, or an empty string.
    QString read(const QCommandLineParser &parser, RunOptions *options) const;

private:
    QCommandLineOption detector;
    QCommandLineOption tracker;
    QCommandLineOption minArea;
    QCommandLineOption maxArea;
    QCommandLineOption identities;
    QCommandLineOption line;
    QCommandLineOption ignore;
    QCommandLineOption watch;
    QCommandLineOption from;
    QCommandLineOption to;
    QCommandLineOption score;
};

#endif // RUNOPTIONS_H
