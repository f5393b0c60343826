#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// The gateway's WAN connection service that port mappings are asked of.
struct WanService {
    std::string serviceType; // e.g. "urn:schemas-upnp-org:service:WANIPConnection:1"
    std::string controlUrl;  // absolute
};

// Picks the WAN service of a device description fetched from `location`: the
// first WANIPConnection service, else the first WANPPPConnection service.
std::optional<WanService> ParseDeviceDescription(std::string_view xml, std::string_view location);

} // namespace Velto::Corvane
