#ifndef PARENTCONSOLE_H
#define PARENTCONSOLE_H

// Lets a window program print to the terminal it was started from. On Windows such a
// program has no console of its own, so --help typed into cmd.exe would print nothing;
// elsewhere the terminal is the program's standard output already.
void useParentConsole();

#endif // PARENTCONSOLE_H
