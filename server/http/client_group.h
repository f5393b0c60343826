#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane {

// The group a client address counts in for per-client limits: an IPv4
// address alone, an IPv6 address by its /64 (one subscriber's network holds
// endless addresses of it), written as "2001:db8:1:2::/64". Text that is no
// address stays as it is.
std::string ClientGroupOf(std::string_view peer);

} // namespace Velto::Corvane
