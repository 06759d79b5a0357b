#ifndef SOUNDCLIP_H
#define SOUNDCLIP_H

#include <string>

// Named sound clips, as the Windows Media Control Interface keeps them. Names are
// compared without regard to case. Each call reports whether it worked; the
// background sound loop carries on either way.

// Opens the sound file at `path` (UTF-8) under `name`.
bool openSoundClip(const std::string &path, const std::string &name);

// Starts playing the clip from its beginning and returns at once.
bool playSoundClip(const std::string &name);

// Stops the clip and closes it; the name is free again.
bool closeSoundClip(const std::string &name);

#endif // SOUNDCLIP_H
