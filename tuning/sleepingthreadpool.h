#ifndef SLEEPINGTHREADPOOL_H
#define SLEEPINGTHREADPOOL_H

// Runs OpenCV's parallel loops (the background model, thresholds, morphology, ...) on a
// small pool of threads that sleep as soon as a loop is done. OpenCV's own threads keep
// spinning for a while after every loop, looking for more work; in a program that then
// waits 10 ms for every frame, that spinning is much of the CPU time it spends beside
// the work itself. The loops give the same results either way.
// Call once, before the first loop runs.
void runParallelLoopsOnSleepingThreads();

#endif // SLEEPINGTHREADPOOL_H
