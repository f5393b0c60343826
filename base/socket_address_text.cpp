#include "base/socket_address_text.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace Velto {

std::string SocketAddressText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN + 1] = {};
    const void* bytes = nullptr;
    int family = address.ss_family;
    if (family == AF_INET) {
        bytes = &reinterpret_cast<const sockaddr_in*>(&address)->sin_addr;
    } else if (family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {
            family = AF_INET;
            bytes = &v6->sin6_addr.s6_addr[12];
        } else {
            bytes = &v6->sin6_addr;
        }
    } else {
        return {};
    }
    return ::inet_ntop(family, bytes, text, sizeof text) ? std::string(text) : std::string();
}

} // namespace Velto
