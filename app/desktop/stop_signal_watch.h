#pragma once

#include "base/unique_fd.h"

#include <functional>
#include <thread>

namespace App {

// Ends the desktop program cleanly on SIGINT, SIGTERM or SIGHUP (Ctrl+C in
// the terminal it was started from, a log-out), so that the server stops and
// the router mapping goes as on Exit. The signals are blocked in the calling
// thread and in every thread started after it, and read from a signal
// descriptor by a thread of the watch's own, which runs `onSignal` there
// with the signal's number.
// Create it before any other thread.
class StopSignalWatch {
public:
    explicit StopSignalWatch(std::function<void(int signal)> onSignal);
    ~StopSignalWatch();
    StopSignalWatch(const StopSignalWatch&) = delete;
    StopSignalWatch& operator=(const StopSignalWatch&) = delete;

    bool IsWatching() const { return m_thread.joinable(); }

private:
    void Loop();

    std::function<void(int signal)> m_onSignal;
    Velto::UniqueFd m_signals;
    Velto::UniqueFd m_stop; // an event descriptor that ends the thread
    std::thread m_thread;   // last: starts once the members above exist
};

} // namespace App
