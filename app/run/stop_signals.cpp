#include "app/run/stop_signals.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>

namespace App {

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // A closed terminal stops the server cleanly too (nohup's ignored SIGHUP
    // stays ignored).
    sigaddset(&set, SIGHUP);
    return set;
}

bool BlockStopSignals() {
    const sigset_t set = StopSignalSet();
    return ::pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

int WaitForStopSignal() {
    const sigset_t set = StopSignalSet();
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
