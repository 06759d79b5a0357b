#include "console.h"

#include <windows.h>

bool errorsGoToATerminal()
{
    const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (errors == INVALID_HANDLE_VALUE || !GetConsoleMode(errors, &mode))
        return false;
    return SetConsoleMode(errors, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}
