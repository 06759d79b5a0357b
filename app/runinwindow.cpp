#include "runinwindow.h"

#include "analysischooser.h"
#include "highguibridge.h"
#include "kestrovix.h"
#include "parentconsole.h"
#include "regionselection.h"
#include "resultchooser.h"
#include "seekbar.h"

#include <QCoreApplication>

#include <opencv2/highgui.hpp>

#include <cstdio>

RunInWindow::RunInWindow(Kestrovix &window, int stopKey, int frameMilliseconds)
    : window(window)
    , stopKey(stopKey)
    , frameMilliseconds(frameMilliseconds)
    , sourceGeneration(window.sourceGeneration)
    , onBundledClip(window.source.kind == VideoSource::Bundled)
{
}

bool RunInWindow::goesOn() const
{
    return !stopped && window.isVisible() && sourceGeneration == window.sourceGeneration;
}

bool RunInWindow::isStepKey(int key)
{
    // As the program's own windows report the key, and as HighGUI's back ends do.
    return key == (Qt::Key_Right & 0xffff) || key == 65363 || key == 2555904;
}

QString RunInWindow::note() const
{
    if (paused)
        return QCoreApplication::translate("RunInWindow", "paused (Space plays on, → steps)");
    if (soughtFrame > 0 && sinceSought.isValid() && sinceSought.elapsed() < 2000)
        return QCoreApplication::translate("RunInWindow", "from frame %1 on, the scene is learnt anew").arg(soughtFrame);
    return QString();
}

SinkAnswer RunInWindow::frameDone(RecognisedFrame &frame)
{
    HighGuiBridge &highGui = HighGuiBridge::instance();
    const int analysisShown = window.analysisChooser->analysis().version();
    // Handed over: the next frame gets memory of its own.
    window.presentFrame(std::move(frame.shown));
    window.sourceStatus.showFrame(frame.number, paused, note());
    window.seekBar->showFrame(frame.number, paused);
    window.analysisChooser->showCounts(frame.counts);

    int key = highGui.waitKey(frameMilliseconds);
    for (;;) {
        // A window closed mid-run must not go on playing the video unseen.
        if (!goesOn())
            return {SinkAnswer::Stop};
        if (const int to = window.seekBar->takeRequest()) {
            soughtFrame = to;
            sinceSought.start();
            return {SinkAnswer::Seek, to};
        }
        if (paused && window.analysisChooser->analysis().version() != analysisShown)
            return {SinkAnswer::Again};
        if (isPauseKey(key)) {
            paused = !paused;
            window.sourceStatus.showFrame(frame.number, true, note());
        } else if (paused && isStepKey(key)) {
            break;
        } else if (isStopKey(key)) {
            stopped = true;
            return {SinkAnswer::Stop};  // that frame is not counted
        }
        if (!paused)
            break;
        // Paused: the window is served, and nothing else happens.
        key = highGui.waitKey(50);
    }
    if (tracking)
        window.trackingProgress.frameTracked();
    return {goesOn() ? SinkAnswer::Next : SinkAnswer::Stop};
}

bool RunInWindow::keepWaiting()
{
    const int key = HighGuiBridge::instance().waitKey(2);
    if (isPauseKey(key))
        paused = true;  // once the next frame is on show
    else if (isStopKey(key))
        stopped = true;
    return goesOn();
}

void RunInWindow::problem(const QString &message)
{
    window.resultChooser->report(message);
}

void RunInWindow::scored(const MotScore &score)
{
    window.resultChooser->showScore(score);
    // Asked for on the command line, it is printed for whoever started the program.
    if (window.resultChooser->scoresForTheCommandLine()) {
        useParentConsole();
        std::printf("%s\n", score.line().toUtf8().constData());
        std::fflush(stdout);
    }
}

bool RunInWindow::selectRegions(const cv::Mat &firstFrame, std::vector<cv::Rect> &regions, bool several)
{
    // The mouse callback draws on g_firstFrame, which the slot hands to the run for
    // `firstFrame`, and leaves its region in g_roi, or its regions in g_targets.
    HighGuiBridge &highGui = HighGuiBridge::instance();
    g_severalTargets = several;
    g_targets.clear();
    highGui.waitKey(30);
    highGui.show("output", firstFrame);
    cv::setMouseCallback("output", onMouse, nullptr);
    if (!several) {
        highGui.waitKey(0);
        regions = {g_roi};
        return goesOn();
    }
    // One drag after another, until Enter or Space starts tracking them (or "output" is
    // closed); Esc ends the run.
    int key = 0;
    do
        key = highGui.waitKey(0);
    while (key >= 0 && key != 13 && key != 10 && key != ' ' && key != 27 && goesOn());
    highGui.destroyAll();
    g_severalTargets = false;
    if (key == 27)
        return false;
    if (!g_targets.empty())
        regions = g_targets;
    return goesOn();
}

void RunInWindow::trackingStarts(int framesToTrack)
{
    tracking = true;
    window.trackingProgress.start(onBundledClip, framesToTrack);
}
