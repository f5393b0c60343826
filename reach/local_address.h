#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// The local IPv4 address (dotted) that the routing table picks for traffic to
// `host` (a dotted IPv4 address) and `port`; empty when there is no route.
// Nothing is sent.
std::string LocalAddressToward(std::string_view host, std::uint16_t port);

} // namespace Velto::Corvane
