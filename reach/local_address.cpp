#include "reach/local_address.h"

#include "base/unique_fd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace Velto::Corvane {

std::string LocalAddressToward(std::string_view host, std::uint16_t port) {
    const std::string terminated{host};
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    if (terminated.find('\0') != std::string::npos ||
        ::inet_pton(AF_INET, terminated.c_str(), &remote.sin_addr) != 1)
        return {};

    // Connecting a datagram socket only consults the routing table.
    UniqueFd sock{::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP)};
    if (!sock ||
        ::connect(sock.Get(), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0)
        return {};
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(sock.Get(), reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        local.sin_family != AF_INET || local.sin_addr.s_addr == htonl(INADDR_ANY))
        return {};
    char text[INET_ADDRSTRLEN] = {};
    if (::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) == nullptr)
        return {};
    return text;
}

} // namespace Velto::Corvane
