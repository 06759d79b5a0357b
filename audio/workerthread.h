#ifndef WORKERTHREAD_H
#define WORKERTHREAD_H

// Starts `routine(nullptr)` on a new thread that nobody waits for; it ends with the
// process. `name` labels the thread for debuggers and tools where the platform can.
// Returns false if the thread could not be made.
bool startDetachedThread(void (*routine)(void *), const char *name);

// Puts the calling thread to sleep.
void sleepMilliseconds(unsigned long milliseconds);

#endif // WORKERTHREAD_H
