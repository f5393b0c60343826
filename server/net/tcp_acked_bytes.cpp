#include "server/net/tcp_acked_bytes.h"

// The kernel's own tcp_info: the C library's copy stops before the byte
// counters.
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>

namespace Velto::Net {

std::optional<std::uint64_t> TcpAckedBytes(int socket) {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) != 0)
        return std::nullopt;
    constexpr std::size_t kNeeded =
        offsetof(tcp_info, tcpi_bytes_acked) + sizeof info.tcpi_bytes_acked;
    if (length < kNeeded)
        return std::nullopt;
    return info.tcpi_bytes_acked;
}

} // namespace Velto::Net
