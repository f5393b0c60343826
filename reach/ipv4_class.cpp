#include "reach/ipv4_class.h"

#include <arpa/inet.h>
#include <string>

namespace Velto::Corvane {

IPv4Class ClassifyIPv4(std::string_view text) {
    if (text.empty())
        return IPv4Class::Invalid;
    // inet_pton wants a terminated string; an embedded NUL must not cut the text short.
    if (text.find('\0') != std::string_view::npos)
        return IPv4Class::Invalid;
    const std::string terminated{text};
    in_addr addr{};
    if (::inet_pton(AF_INET, terminated.c_str(), &addr) != 1)
        return IPv4Class::Invalid;

    const std::uint32_t a = ntohl(addr.s_addr);
    const std::uint32_t first = a >> 24;
    const std::uint32_t second = (a >> 16) & 0xFFu;
    if (first == 0 || first == 127 || first >= 224)
        return IPv4Class::Invalid;
    if (first == 10 || (first == 172 && second >= 16 && second <= 31) ||
        (first == 192 && second == 168) || (first == 169 && second == 254))
        return IPv4Class::Private;
    if (first == 100 && second >= 64 && second <= 127)
        return IPv4Class::Shared;
    return IPv4Class::Public;
}

} // namespace Velto::Corvane
