#include "interruption.h"

#include <atomic>

#include <windows.h>

namespace {

std::atomic<int> status{0};

BOOL WINAPI interrupted(DWORD event)
{
    // Ctrl+C and Ctrl+Break as SIGINT; the console closed, a log-off or a shut-down as SIGTERM.
    status = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130 : 143;
    return TRUE;
}

} // namespace

void catchInterruptions()
{
    SetConsoleCtrlHandler(interrupted, TRUE);
}

int interruptionStatus()
{
    return status;
}
