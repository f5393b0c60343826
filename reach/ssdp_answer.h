#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// The search targets asked for, in the order the requests go out.
inline constexpr std::string_view kSearchTargets[] = {
    "urn:schemas-upnp-org:device:InternetGatewayDevice:1",
    "urn:schemas-upnp-org:service:WANIPConnection:1",
    "urn:schemas-upnp-org:service:WANPPPConnection:1",
};

// The M-SEARCH datagram for one search target.
std::string BuildSearchRequest(std::string_view target);

// The device-description location announced by one search answer: a "200"
// answer whose first LOCATION header is an "http://" URL shorter than 1024
// characters. Anything else yields nothing.
std::optional<std::string> ParseSearchAnswer(std::string_view datagram);

} // namespace Velto::Corvane
