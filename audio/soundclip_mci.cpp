// Sound clips on Windows: Media Control Interface command strings.

#include "soundclip.h"

#include <windows.h>
#include <mmsystem.h>

namespace {

std::wstring widen(const std::string &text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

} // namespace

bool openSoundClip(const std::string &path, const std::string &name)
{
    // The path in double quotes: unquoted, a blank in it (as in C:/Program Files) ends
    // the file name and the command fails.
    const std::wstring command = L"open \"" + widen(path) + L"\" alias " + widen(name);
    return mciSendStringW(command.c_str(), nullptr, 1, nullptr) == 0;
}

bool playSoundClip(const std::string &name)
{
    const std::wstring command = L"play " + widen(name);
    return mciSendStringW(command.c_str(), nullptr, 0, nullptr) == 0;
}

bool closeSoundClip(const std::string &name)
{
    const std::wstring command = L"close " + widen(name);
    return mciSendStringW(command.c_str(), nullptr, 0, nullptr) == 0;
}
