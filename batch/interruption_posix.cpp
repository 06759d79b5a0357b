#include "interruption.h"

#include <atomic>
#include <csignal>
#include <initializer_list>

namespace {

std::atomic<int> status{0};

void interrupted(int signalNumber)
{
    status = 128 + signalNumber;
}

} // namespace

void catchInterruptions()
{
    struct sigaction action = {};
    action.sa_handler = interrupted;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM})
        sigaction(signalNumber, &action, nullptr);
}

int interruptionStatus()
{
    return status;
}
