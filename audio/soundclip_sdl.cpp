// Sound clips everywhere but Windows: SDL2_mixer, one mixer channel per clip.

#include "soundclip.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

struct Clip
{
    std::string name;
    Mix_Chunk *chunk = nullptr;
    int channel = -1;
};

std::mutex clipsMutex;

// Never destroyed: the thread that plays the clips may still be running while the
// process exits.
std::vector<Clip> &clips()
{
    static auto *open = new std::vector<Clip>;
    return *open;
}

bool sameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
                  return std::tolower(x) == std::tolower(y);
              });
}

std::vector<Clip>::iterator findClip(const std::string &name)
{
    return std::find_if(clips().begin(), clips().end(), [&](const Clip &clip) { return sameName(clip.name, name); });
}

// One line on standard error for the first failure, so that a machine without sound
// or a broken file does not fill the terminal every cycle.
void reportOnce(const std::string &what)
{
    static bool reported = false;
    if (!reported) {
        std::fprintf(stderr, "Kestrovix: no background sound: %s: %s\n", what.c_str(), SDL_GetError());
        reported = true;
    }
}

// Opens the sound device on first use; tries again on later calls if it failed.
bool ensureAudioOpen()
{
    static bool open = false;
    if (open)
        return true;
    // SDL would take SIGINT and SIGTERM for itself and turn them into quit events that
    // nobody reads: Ctrl+C, kill and a log-out must still end the program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        reportOnce("cannot start audio");
        return false;
    }
    Mix_Init(MIX_INIT_MP3);
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
        reportOnce("cannot open the sound device");
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    open = true;
    return true;
}

} // namespace

bool openSoundClip(const std::string &path, const std::string &name)
{
    std::lock_guard<std::mutex> lock(clipsMutex);
    if (findClip(name) != clips().end() || !ensureAudioOpen())
        return false;
    SDL_RWops *file = SDL_RWFromFile(path.c_str(), "rb");
    Mix_Chunk *chunk = file ? Mix_LoadWAV_RW(file, 1) : nullptr;
    if (!chunk) {
        reportOnce("cannot load " + path);
        return false;
    }
    clips().push_back({name, chunk, -1});
    return true;
}

bool playSoundClip(const std::string &name)
{
    std::lock_guard<std::mutex> lock(clipsMutex);
    const auto clip = findClip(name);
    if (clip == clips().end())
        return false;
    if (clip->channel >= 0)
        Mix_HaltChannel(clip->channel);
    clip->channel = Mix_PlayChannel(-1, clip->chunk, 0);
    return clip->channel >= 0;
}

bool closeSoundClip(const std::string &name)
{
    std::lock_guard<std::mutex> lock(clipsMutex);
    const auto clip = findClip(name);
    if (clip == clips().end())
        return false;
    // Freeing a chunk halts every channel that plays it.
    Mix_FreeChunk(clip->chunk);
    clips().erase(clip);
    return true;
}
