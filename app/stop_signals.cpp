#include "app/stop_signals.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>

namespace App {
namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // A closed terminal stops the server cleanly too (nohup's ignored SIGHUP
    // stays ignored).
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

bool BlockStopSignals() {
    const sigset_t set = StopSet();
    return ::pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

int WaitForStopSignal() {
    const sigset_t set = StopSet();
    for (;;) {
        int signal = 0;
        const int failure = ::sigwait(&set, &signal);
        if (failure == 0)
            return signal;
        if (failure != EINTR)
            return SIGTERM;
    }
}

} // namespace App
