// Plays the program's background sound without the window, for listening to it and
// for checking the sound back end on its own:
//
//   playbackground [seconds] [period-ms]     (default 10 seconds)
//
// With a period, the tune is played over and over with that period instead of the
// program's 72 seconds, and every period prints whether the tune could be opened.

#include "backgroundaudio.h"
#include "resourcedirectory.h"
#include "workerthread.h"

#include <cstdio>
#include <cstdlib>

namespace {

unsigned long period = 0;

void shortLoop(void *)
{
    const std::string path = resourcePath("background.MP3");
    for (int count = 1;; ++count) {
        const bool opened = playBackgroundPeriod(path, period);
        std::printf("period %d: %s\n", count, opened ? "opened" : "not opened");
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    period = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 0;
    // A listener can time the sound from this line.
    std::printf("playing for %d s\n", seconds);
    std::fflush(stdout);
    if (period > 0)
        startDetachedThread(shortLoop, "kx-audio");
    else
        startBackgroundAudioOnce();
    sleepMilliseconds(static_cast<unsigned long>(seconds > 0 ? seconds : 0) * 1000);
    return 0;
}
