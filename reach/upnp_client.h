#pragma once

#include "reach/device_description.h"

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace Velto::Corvane {

struct UpnpMapResult {
    enum Status : std::int32_t {
        Mapped = 0,
        NoGateway = 1,
        Conflict = 2,
        Refused = 3,              // the router answered with a UPnP error
        CommunicationFailure = 4, // no answer, or a fault without a readable code
    };
    std::int32_t status{NoGateway};
    std::int32_t upnpError{0};
    std::optional<std::string> externalAddress;
    std::string localAddress;
};

// Asks the local network's Internet gateway, through UPnP, to forward a TCP
// port to this PC. One object serves one run of the server: the gateway found
// by the first discovery is reused until an exchange with it fails.
//
// A stop request on `cancel` makes a running Discover or MapPort give up at
// once (MapPort then reports a communication failure). Unmap ignores it: it is
// what runs after the stop, and its exchange is bounded by the time-outs.
class UpnpClient {
public:
    explicit UpnpClient(std::stop_token cancel = {}) : m_cancel(std::move(cancel)) {}

    // Searches the network and keeps the first usable gateway.
    bool Discover();

    // Maps the external TCP port `port` to the same port on this PC.
    UpnpMapResult MapPort(std::uint16_t port, std::string_view description);

    // Removes the mapping made by MapPort, if any; the outcome is not reported.
    void Unmap();

    bool GatewayKnown() const { return m_gatewayKnown; }
    const WanService& Service() const { return m_service; }
    const std::string& LocalAddress() const { return m_localAddress; }
    std::uint16_t MappedPort() const { return m_mappedPort; }

private:
    void ForgetGateway();
    void RefreshLocalAddress();
    bool TryLocation(const std::string& location);

    std::stop_token m_cancel;
    bool m_gatewayKnown{false};
    WanService m_service;
    std::string m_localAddress;
    std::uint16_t m_mappedPort{0};
};

} // namespace Velto::Corvane
