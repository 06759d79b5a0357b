#include "console.h"

#include <unistd.h>

bool errorsGoToATerminal()
{
    return isatty(STDERR_FILENO) != 0;
}
