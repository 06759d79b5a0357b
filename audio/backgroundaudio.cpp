#include "backgroundaudio.h"

#include "resourcedirectory.h"
#include "soundclip.h"
#include "workerthread.h"

#include <string>

int g_audioStarted = 0;

bool playBackgroundPeriod(const std::string &path, unsigned long periodMilliseconds)
{
    // Failures only make the period pass silently: the program works without sound.
    const bool opened = openSoundClip(path, "s1");
    playSoundClip("s1");
    sleepMilliseconds(periodMilliseconds);
    closeSoundClip("S1");
    return opened;
}

void audioLoop(void *)
{
    const std::string path = resourcePath("background.MP3");
    for (;;)
        playBackgroundPeriod(path, 72000);
}

void startBackgroundAudioOnce()
{
    if (g_audioStarted == 0) {
        startDetachedThread(audioLoop, "kx-audio");
        g_audioStarted = 1;
    }
}
