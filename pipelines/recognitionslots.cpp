// The main window's two recognitions, one per button: each runs inside its slot, paced
// by the window's waits, until its video ends or the user stops it.

#include "analysischooser.h"
#include "automaticrecognition.h"
#include "backgroundaudio.h"
#include "highguibridge.h"
#include "kestrovix.h"
#include "manualrecognition.h"
#include "methodchooser.h"
#include "regionselection.h"
#include "resultchooser.h"
#include "runinwindow.h"
#include "seekbar.h"
#include "videoinput.h"

#include <cstdio>

void Kestrovix::onOpencvpic()
{
    startBackgroundAudioOnce();
    ui.progressBar_2->setVisible(false);

    // Every frame shown, then 10 ms of waiting; any key ends the run.
    RunInWindow window(*this, RunInWindow::anyKey, 10);
    VideoInput capture;
    if (!openSource(capture, "bike.avi", window)) {
        quitIfClosed();
        return;
    }
    // A file's next frame is decoded while this one is recognised and shown.
    capture.setReadAhead(!source.isLive());
    seekBar->setRunning(capture.canSeek() && source.kind == VideoSource::File);
    runAutomaticRecognition(capture, methodChooser->choice(), analysisChooser->analysis(), resultChooser->files(),
                            window);
    if (window.generation() == sourceGeneration)
        seekBar->setRunning(false);
    finishRun(capture, window.generation());
    quitIfClosed();
}

void Kestrovix::videoplay()
{
    startBackgroundAudioOnce();
    ui.progressBar_2->setVisible(true);

    // Every frame shown, then 1 ms of waiting; "q" ends the run.
    RunInWindow window(*this, 113, 1);
    VideoInput capture;
    if (!openSource(capture, "video3.mp4", window)) {
        if (source.kind != VideoSource::Bundled) {
            quitIfClosed();
            return;
        }
        std::fputs("can not open ...\n", stdout);
        std::fflush(stdout);
    }
    // The selection's mouse callback draws on g_firstFrame; one object tracks on from
    // the region kept in g_roi, and leaves its last box there.
    std::vector<cv::Rect> regions = {g_roi};
    const bool sourceEnded = runManualRecognition(capture, methodChooser->choice(), resultChooser->files(),
                                                  g_firstFrame, regions, window);
    if (regions.size() == 1)
        g_roi = regions.front();
    trackingProgress.finish(sourceEnded);

    capture.release();
    HighGuiBridge::instance().destroyAll();
    finishRun(capture, window.generation());
    quitIfClosed();
}
