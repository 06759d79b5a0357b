// Worker threads on Windows.

#include "workerthread.h"

#include <windows.h>

namespace {

void (*threadRoutine)(void *) = nullptr;

DWORD WINAPI runRoutine(LPVOID parameter)
{
    threadRoutine(parameter);
    return 0;
}

} // namespace

bool startDetachedThread(void (*routine)(void *), const char * /*name*/)
{
    // Only one worker is ever started, so the routine can wait in a variable.
    threadRoutine = routine;
    HANDLE thread = CreateThread(nullptr, 0, runRoutine, nullptr, 0, nullptr);
    if (!thread)
        return false;
    CloseHandle(thread);
    return true;
}

void sleepMilliseconds(unsigned long milliseconds)
{
    Sleep(milliseconds);
}
