#ifndef EXECUTABLEDIRECTORY_H
#define EXECUTABLEDIRECTORY_H

#include <string>

// The folder that holds the running program's executable, in UTF-8 and without a
// trailing separator; empty if the platform cannot tell.
std::string executableDirectory();

#endif // EXECUTABLEDIRECTORY_H
