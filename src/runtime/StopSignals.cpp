#include "StopSignals.h"

#include <pthread.h>

namespace rt {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

bool blockStopSignals() {
    const sigset_t set = stopSignals();
    return pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

void unblockStopSignals() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int pendingStopSignal() {
    sigset_t pending;
    if (sigpending(&pending) != 0) return 0;
    if (sigismember(&pending, SIGINT) == 1) return SIGINT;
    if (sigismember(&pending, SIGTERM) == 1) return SIGTERM;
    return 0;
}

}  // namespace rt
