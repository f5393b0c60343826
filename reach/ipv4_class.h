#pragma once

#include <cstdint>
#include <string_view>

namespace Velto::Corvane {

// What kind of network an IPv4 address belongs to, as far as reaching this PC
// from the Internet is concerned.
enum class IPv4Class : std::int32_t {
    Public = 0,
    Private = 1, // 10/8, 172.16/12, 192.168/16 and link-local 169.254/16
    Shared = 2,  // 100.64/10, carrier-grade NAT
    Invalid = 3, // not a dotted address, 0/8, 127/8, 224.0.0.0 and above
};

IPv4Class ClassifyIPv4(std::string_view text);

} // namespace Velto::Corvane
