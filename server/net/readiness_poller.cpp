#include "server/net/readiness_poller.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace Velto::Net {
namespace {

constexpr std::uint32_t kReadable = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;

} // namespace

Result ReadinessPoller::Open() {
    UniqueFd poll(::epoll_create1(EPOLL_CLOEXEC));
    if (!poll)
        return ResultFromErrno(errno);
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake)
        return ResultFromErrno(errno);
    // Level-triggered and never re-armed: once woken, every waiter sees it.
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kWakeToken;
    if (::epoll_ctl(poll.Get(), EPOLL_CTL_ADD, wake.Get(), &event) != 0)
        return ResultFromErrno(errno);
    m_poll = std::move(poll);
    m_wake = std::move(wake);
    return kOk;
}

Result ReadinessPoller::Add(int fd, std::uint64_t token) {
    epoll_event event{};
    event.events = kReadable;
    event.data.u64 = token;
    return ::epoll_ctl(m_poll.Get(), EPOLL_CTL_ADD, fd, &event) == 0 ? kOk : ResultFromErrno(errno);
}

Result ReadinessPoller::Rearm(int fd, std::uint64_t token) {
    epoll_event event{};
    event.events = kReadable;
    event.data.u64 = token;
    return ::epoll_ctl(m_poll.Get(), EPOLL_CTL_MOD, fd, &event) == 0 ? kOk : ResultFromErrno(errno);
}

void ReadinessPoller::Remove(int fd) {
    (void)::epoll_ctl(m_poll.Get(), EPOLL_CTL_DEL, fd, nullptr);
}

bool ReadinessPoller::Wait(std::int32_t timeoutMs, std::uint64_t& token) {
    epoll_event event{};
    const int count = ::epoll_wait(m_poll.Get(), &event, 1, timeoutMs);
    if (count <= 0)
        return false; // timed out, or interrupted: the caller simply waits again
    token = event.data.u64;
    return true;
}

void ReadinessPoller::Wake() {
    const std::uint64_t one = 1;
    (void)!::write(m_wake.Get(), &one, sizeof one);
}

} // namespace Velto::Net
