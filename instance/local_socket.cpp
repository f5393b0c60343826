#include "instance/local_socket.h"

#include "base/interrupt_retry.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace Velto::Instance {
namespace {

constexpr int kListenBacklog = 16;
constexpr mode_t kSocketMode = 0600;

bool FillAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() > MaxLocalSocketPath())
        return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

// Milliseconds left until the deadline for poll; 0 once it has passed.
int RemainingMs(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return 0;
    return left.count() > INT32_MAX ? INT32_MAX : static_cast<int>(left.count());
}

bool WaitFor(int fd, short events, Deadline deadline) {
    for (;;) {
        const int timeout = RemainingMs(deadline);
        if (timeout == 0)
            return false;
        pollfd waiting{fd, events, 0};
        const int r = ::poll(&waiting, 1, timeout);
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

std::size_t MaxLocalSocketPath() {
    return sizeof(sockaddr_un::sun_path) - 1;
}

UniqueFd ListenLocal(const std::string& path) {
    sockaddr_un address;
    if (!FillAddress(path, address))
        return {};
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd)
        return {};
    ::unlink(path.c_str());
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return {};
    // The folder admits only us already; the socket itself does too.
    ::chmod(path.c_str(), kSocketMode);
    if (::listen(fd.Get(), kListenBacklog) != 0)
        return {};
    return fd;
}

UniqueFd ConnectLocal(const std::string& path, Deadline deadline) {
    sockaddr_un address;
    if (!FillAddress(path, address))
        return {};
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd)
        return {};
    // A Unix stream connect either completes at once, is refused, or finds
    // the backlog full (EAGAIN); a full backlog is retried until the deadline.
    constexpr int kBacklogRetryMs = 10;
    for (;;) {
        if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN || RemainingMs(deadline) == 0)
            return {};
        ::poll(nullptr, 0, kBacklogRetryMs);
    }
    return fd;
}

bool PeerIsSameUser(int fd) {
    ucred credentials{};
    socklen_t size = sizeof(credentials);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof(credentials))
        return false;
    return credentials.uid == ::geteuid();
}

bool SendAll(int fd, std::span<const std::byte> bytes, Deadline deadline) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd, POLLOUT, deadline))
            continue;
        return false;
    }
    return true;
}

bool ReceiveExact(int fd, std::span<std::byte> bytes, Deadline deadline) {
    std::size_t received = 0;
    while (received < bytes.size()) {
        const ssize_t n = ::recv(fd, bytes.data() + received, bytes.size() - received, 0);
        if (n > 0) {
            received += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd, POLLIN, deadline))
            continue;
        return false;
    }
    return true;
}

} // namespace Velto::Instance
