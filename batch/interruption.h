#ifndef INTERRUPTION_H
#define INTERRUPTION_H

// Catches the user's interruption (Ctrl+C, SIGINT) and the system's (SIGTERM, as when a
// cluster's job is cancelled), so that the runs stop at their next frame and keep what
// they have found, rather than the process being killed.
void catchInterruptions();

// 0 until interrupted; then the exit status to end with: 130 (SIGINT) or 143 (SIGTERM).
int interruptionStatus();

#endif // INTERRUPTION_H
