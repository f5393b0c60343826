#include "app/desktop/stop_signal_watch.h"

#include "app/run/stop_signals.h"
#include "base/interrupt_retry.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>

namespace App {

StopSignalWatch::StopSignalWatch(std::function<void(int signal)> onSignal)
    : m_onSignal(std::move(onSignal)) {
    const sigset_t set = StopSignalSet();
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0)
        return;
    m_signals = Velto::UniqueFd{::signalfd(-1, &set, SFD_CLOEXEC)};
    m_stop = Velto::UniqueFd{::eventfd(0, EFD_CLOEXEC)};
    if (!m_signals || !m_stop)
        return;
    m_thread = std::thread([this] { Loop(); });
}

StopSignalWatch::~StopSignalWatch() {
    if (!m_thread.joinable())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_stop.Get(), &one, sizeof one);
    m_thread.join();
}

void StopSignalWatch::Loop() {
    for (;;) {
        pollfd watched[2] = {{m_signals.Get(), POLLIN, 0}, {m_stop.Get(), POLLIN, 0}};
        const int ready = Velto::RetryOnInterrupt([&] { return ::poll(watched, 2, -1); });
        if (ready < 0 || (watched[1].revents & POLLIN) != 0)
            return;
        if ((watched[0].revents & POLLIN) == 0)
            continue;
        signalfd_siginfo info{};
        if (::read(m_signals.Get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info))
            continue;
        if (m_onSignal)
            m_onSignal(static_cast<int>(info.ssi_signo));
    }
}

} // namespace App
