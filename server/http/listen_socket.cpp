#include "server/http/listen_socket.h"

#include "base/socket_address_text.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>

namespace Velto::Corvane {
namespace {

// The largest backlog the system grants; it clamps to its own maximum.
constexpr int kListenBacklog = 0x7FFFFFFF;

Result LastError(bool onBind = false) {
    const Result result = ResultFromErrno(errno, onBind);
    return Failed(result) ? result : kFail;
}

UniqueFd OpenSocket(int family) {
    return UniqueFd(::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP));
}

} // namespace

Result OpenListenSocket(std::uint16_t port, bool loopbackOnly, UniqueFd& socket,
                        std::uint16_t& boundPort) {
    socket.Reset();
    boundPort = 0;
    sockaddr_storage address{};
    socklen_t addressLength = 0;
    UniqueFd fd;
    if (!loopbackOnly) {
        fd = OpenSocket(AF_INET6);
        const int off = 0;
        if (fd && ::setsockopt(fd.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0)
            fd.Reset();
        if (fd) {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
            v6->sin6_family = AF_INET6;
            v6->sin6_addr = in6addr_any;
            v6->sin6_port = htons(port);
            addressLength = sizeof *v6;
        }
    }
    if (!fd) {
        fd = OpenSocket(AF_INET);
        if (!fd)
            return LastError();
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
        v4->sin_port = htons(port);
        addressLength = sizeof *v4;
    }

    // Lets a restarted server take its port back while old connections linger
    // in TIME_WAIT; never SO_REUSEPORT, which would let two servers share it.
    const int on = 1;
    (void)::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);

    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), addressLength) != 0)
        return LastError(true);
    if (::listen(fd.Get(), kListenBacklog) != 0)
        return LastError();

    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    if (::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&bound), &boundLength) != 0)
        return LastError();
    boundPort =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    socket = std::move(fd);
    return kOk;
}

Result AcceptConnection(int listenSocket, UniqueFd& socket, std::string& peer) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    UniqueFd fd(
        ::accept4(listenSocket, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC));
    if (!fd)
        return LastError();

    peer = SocketAddressText(address);
    socket = std::move(fd);
    return kOk;
}

} // namespace Velto::Corvane
