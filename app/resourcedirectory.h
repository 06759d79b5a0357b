#ifndef RESOURCEDIRECTORY_H
#define RESOURCEDIRECTORY_H

#include <string>

// Full path of a media file in the resource directory fixed at build time. A relative
// resource directory lies in the folder of the program's executable.
std::string resourcePath(const std::string &fileName);

// Points the program at another media directory. Only the tests call this:
// the program itself has no option or setting for it.
void setResourceDirectory(const std::string &directory);

#endif // RESOURCEDIRECTORY_H
