#include "server/http/client_group.h"

#include <arpa/inet.h>

#include <array>
#include <cstring>

namespace Velto::Corvane {

std::string ClientGroupOf(std::string_view peer) {
    if (peer.find(':') == std::string_view::npos || peer.size() >= INET6_ADDRSTRLEN)
        return std::string(peer);
    const std::string text(peer);
    in6_addr address{};
    if (::inet_pton(AF_INET6, text.c_str(), &address) != 1)
        return text;
    constexpr std::size_t kPrefixBytes = 8;
    std::memset(address.s6_addr + kPrefixBytes, 0, sizeof address.s6_addr - kPrefixBytes);
    std::array<char, INET6_ADDRSTRLEN> prefix{};
    if (::inet_ntop(AF_INET6, &address, prefix.data(), prefix.size()) == nullptr)
        return text;
    return std::string(prefix.data()) + "/64";
}

} // namespace Velto::Corvane
