#include "backgroundaudio.h"

#include "resourcedirectory.h"
#include "soundclip.h"
#include "workerthread.h"

#include <string>

int g_audioStarted = 0;

void audioLoop(void *)
{
    const std::string path = resourcePath("background.MP3");
    for (;;) {
        // Failures only make the loop cycle silently: the program works without sound.
        openSoundClip(path, "s1");
        playSoundClip("s1");
        sleepMilliseconds(72000);
        closeSoundClip("S1");
    }
}

void startBackgroundAudioOnce()
{
    if (g_audioStarted == 0) {
        startDetachedThread(audioLoop, "kx-audio");
        g_audioStarted = 1;
    }
}
