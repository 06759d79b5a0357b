#include "resourcedirectory.h"

namespace {

std::string &resourceDirectory()
{
    static std::string directory = KESTROVIX_RESOURCE_DIR;
    return directory;
}

} // namespace

std::string resourcePath(const std::string &fileName)
{
    const std::string &directory = resourceDirectory();
    if (directory.empty() || directory.back() == '/' || directory.back() == '\\')
        return directory + fileName;
    return directory + '/' + fileName;
}

void setResourceDirectory(const std::string &directory)
{
    resourceDirectory() = directory;
}
