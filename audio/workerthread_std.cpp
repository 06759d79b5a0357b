// Worker threads everywhere but Windows: the standard library's.

#include "workerthread.h"

#include <chrono>
#include <string>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <pthread.h>
#endif

bool startDetachedThread(void (*routine)(void *), const char *name)
{
    try {
        std::thread worker([routine, label = std::string(name)] {
#if defined(__linux__)
            pthread_setname_np(pthread_self(), label.substr(0, 15).c_str());
#endif
            routine(nullptr);
        });
        worker.detach();
        return true;
    } catch (const std::system_error &) {
        return false;
    }
}

void sleepMilliseconds(unsigned long milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
