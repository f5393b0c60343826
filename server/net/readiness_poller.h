#pragma once

#include "base/result.h"
#include "base/unique_fd.h"

#include <cstdint>

namespace Velto::Net {

// Waits for sockets to become readable, many at once, without a thread per
// socket. Each registration is one-shot: once a socket is reported it stays
// quiet until Rearm, so exactly one waiting thread takes each event. Any
// number of threads may Wait at the same time. Wake makes every current and
// future Wait return kWakeToken until the poller is gone.
class ReadinessPoller {
public:
    static constexpr std::uint64_t kWakeToken = UINT64_MAX;

    ReadinessPoller() = default;
    ReadinessPoller(const ReadinessPoller&) = delete;
    ReadinessPoller& operator=(const ReadinessPoller&) = delete;

    Result Open();
    bool IsOpen() const { return m_poll.IsValid(); }

    // Watches `fd` for one readable (or hung-up) event reported as `token`.
    Result Add(int fd, std::uint64_t token);
    // Watches `fd` again after its event was taken.
    Result Rearm(int fd, std::uint64_t token);
    void Remove(int fd);
    // One ready token, or false when `timeoutMs` passed without one.
    bool Wait(std::int32_t timeoutMs, std::uint64_t& token);
    void Wake();

private:
    UniqueFd m_poll;
    UniqueFd m_wake; // an event counter that stays readable once woken
};

} // namespace Velto::Net
