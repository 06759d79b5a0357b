// Plays the program's background sound without the window, for listening to it
// and for checking the sound back end on its own:
//
//   playbackground [seconds]     (default 10)

#include "backgroundaudio.h"
#include "workerthread.h"

#include <cstdlib>

int main(int argc, char *argv[])
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    startBackgroundAudioOnce();
    sleepMilliseconds(static_cast<unsigned long>(seconds > 0 ? seconds : 0) * 1000);
    return 0;
}
