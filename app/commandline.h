#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include "methods.h"
#include "runresults.h"
#include "sceneanalysis.h"
#include "videosource.h"

// What the command line asks for: kestrovix [options] [VIDEO].
struct CommandLine
{
    bool sourceGiven = false;  // VIDEO or --camera N; otherwise the bundled clips
    VideoSource source;
    // The methods: the caller's (the stored ones), with what the options change.
    MethodChoice methods;
    bool methodsGiven = false;
    ResultFiles results;
    SceneAnalysis analysis;  // the counting lines and regions
    int firstFrame = 1;
    int lastFrame = 0;  // 0: to the end
};

// Reads the command line before the window system is touched, so that --help,
// --version and mistakes need no display. Returns the exit code when the program is
// to end here: 0 after the help or the version, 2 after a mistake (with a message on
// standard error); -1 to go on. Qt's own options (-platform, -style …) are let through.
int readCommandLine(int argc, char *argv[], CommandLine *commandLine);

#endif // COMMANDLINE_H
