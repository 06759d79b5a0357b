#ifndef CONSOLE_H
#define CONSOLE_H

// Whether standard error is a terminal, where progress can be redrawn in place with
// escape sequences (turned on where the terminal has to be asked for them).
bool errorsGoToATerminal();

#endif // CONSOLE_H
