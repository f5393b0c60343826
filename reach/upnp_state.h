#pragma once

#include <cstdint>

namespace Velto::Corvane {

// The port-forwarding state the service publishes with its status.
enum class UpnpState : std::int32_t {
    Off = 0,       // not running: the switch is off or the server is stopped
    Working = 1,   // the first attempt of this run has not returned yet
    Mapped = 2,    // the router forwards the port
    NoGateway = 3, // no router answered the search
    Conflict = 4,  // the port is already forwarded to another device
    Refused = 5,   // the router refused with an error code
    Failed = 6,    // talking to the router failed
};

// The published state after a mapping attempt that ended with `status`
// (UpnpMapResult::Status): 0 mapped, 1 no gateway, 2 conflict, 3 refused, and
// anything else a failure.
constexpr UpnpState UpnpStateFromMapStatus(std::int32_t status) {
    switch (status) {
    case 0:
        return UpnpState::Mapped;
    case 1:
        return UpnpState::NoGateway;
    case 2:
        return UpnpState::Conflict;
    case 3:
        return UpnpState::Refused;
    default:
        return UpnpState::Failed;
    }
}

} // namespace Velto::Corvane
