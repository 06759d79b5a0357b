#include "parentconsole.h"

#include <cstdio>

#include <windows.h>

void useParentConsole()
{
    // Output already sent somewhere (a pipe, a file) stays there.
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}
