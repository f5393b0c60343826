#include "server/http/admission_key.h"

#include <arpa/inet.h>

#include <array>
#include <cstdio>

namespace Velto::Corvane {

std::string AdmissionKey(std::string_view peer) {
    if (peer.find(':') == std::string_view::npos)
        return std::string(peer);
    const std::string text(peer);
    std::array<unsigned char, 16> bytes{};
    if (::inet_pton(AF_INET6, text.c_str(), bytes.data()) != 1)
        return text;
    char key[32];
    std::snprintf(key, sizeof key, "%x:%x:%x:%x::/64", bytes[0] << 8 | bytes[1],
                  bytes[2] << 8 | bytes[3], bytes[4] << 8 | bytes[5], bytes[6] << 8 | bytes[7]);
    return key;
}

} // namespace Velto::Corvane
