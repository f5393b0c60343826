#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane {

// The name one client's connections are counted under: an IPv4 address as it
// is, an IPv6 address by its /64 network ("2001:db8:1:2::/64"), since one
// home or phone is given a whole /64 and can pick endless addresses in it.
// Text that is not an address is its own key.
std::string AdmissionKey(std::string_view peer);

} // namespace Velto::Corvane
