// Where the executable lies, on Linux: the kernel's link to it.

#include "executabledirectory.h"

#include <climits>
#include <unistd.h>

std::string executableDirectory()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path));
    if (length <= 0 || length == static_cast<ssize_t>(sizeof(path)))
        return std::string();
    const std::string executable(path, static_cast<size_t>(length));
    return executable.substr(0, executable.find_last_of('/'));
}
