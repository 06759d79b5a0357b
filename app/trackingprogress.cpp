#include "trackingprogress.h"

#include <QProgressBar>

#include <algorithm>

TrackingProgress::TrackingProgress(QProgressBar *bar, int *trackedFrames)
    : bar(bar)
    , trackedFrames(trackedFrames)
{
}

void TrackingProgress::start(bool onBundledClip, int framesToTrack)
{
    if (formMaximum < 0)
        formMaximum = bar->maximum();
    bundled = onBundledClip;
    runFrames = 0;
    if (bundled) {
        if (bar->minimum() != 0 || bar->maximum() != formMaximum) {
            bar->setRange(0, formMaximum);
            bar->setValue(*trackedFrames);
        }
        return;
    }
    bar->setRange(0, std::max(framesToTrack, 0));
    bar->setValue(0);
}

void TrackingProgress::frameTracked()
{
    if (bundled) {
        ++*trackedFrames;
        bar->setValue(*trackedFrames);
        return;
    }
    ++runFrames;
    if (bar->maximum() == 0)
        return;  // busy
    // Some files hold more frames than they say.
    if (runFrames > bar->maximum())
        bar->setMaximum(runFrames);
    bar->setValue(runFrames);
}

void TrackingProgress::finish(bool sourceEnded)
{
    if (bundled || (!sourceEnded && bar->maximum() > 0))
        return;
    // Some files hold fewer frames than they say; a live source's run ends full too.
    bar->setRange(0, std::max(runFrames, 1));
    bar->setValue(runFrames);
}
