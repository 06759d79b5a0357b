#include "resourcedirectory.h"

#include "executabledirectory.h"

namespace {

std::string &resourceDirectory()
{
    static std::string directory = KESTROVIX_RESOURCE_DIR;
    return directory;
}

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

// "/usr/share", "\\server\share", "C:/Program Files" or "C:\Program Files".
bool isAbsolute(const std::string &path)
{
    if (!path.empty() && isSeparator(path[0]))
        return true;
    const char drive = path.size() >= 2 ? path[0] : '\0';
    return ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) && path[1] == ':';
}

std::string joined(const std::string &directory, const std::string &name)
{
    if (directory.empty() || isSeparator(directory.back()))
        return directory + name;
    return directory + '/' + name;
}

} // namespace

std::string resourcePath(const std::string &fileName)
{
    const std::string &directory = resourceDirectory();
    // An installed program may lie wherever its user put it: a relative directory is
    // found beside the executable, not in the current folder.
    if (!isAbsolute(directory))
        return joined(joined(executableDirectory(), directory), fileName);
    return joined(directory, fileName);
}

void setResourceDirectory(const std::string &directory)
{
    resourceDirectory() = directory;
}
