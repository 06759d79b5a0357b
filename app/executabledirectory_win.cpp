// Where the executable lies, on Windows: the module file name of the process.

#include "executabledirectory.h"

#include <windows.h>

#include <vector>

std::string executableDirectory()
{
    // Paths may be longer than MAX_PATH: grow the buffer until the name fits.
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::string();
        if (length < path.size())
            break;
        path.resize(path.size() * 2);
    }
    std::wstring executable(path.data(), length);
    executable.resize(executable.find_last_of(L"\\/"));

    const int size = WideCharToMultiByte(CP_UTF8, 0, executable.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return std::string();
    std::string directory(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, executable.c_str(), -1, &directory[0], size, nullptr, nullptr);
    directory.resize(static_cast<size_t>(size) - 1);
    return directory;
}
