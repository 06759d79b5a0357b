#ifndef BACKGROUNDAUDIO_H
#define BACKGROUNDAUDIO_H

#include <string>

// 1 once the background sound thread has been launched. Touched by the GUI thread only.
extern int g_audioStarted;

// Launches the background sound thread the first time it is called; later calls do nothing.
void startBackgroundAudioOnce();

// One period of the background sound: opens the tune at `path`, plays it, waits, and
// closes it. Returns whether the tune could be opened.
bool playBackgroundPeriod(const std::string &path, unsigned long periodMilliseconds);

// The background sound thread: plays the tune, waits 72 seconds, and starts again,
// for as long as the process lives.
void audioLoop(void *);

#endif // BACKGROUNDAUDIO_H
