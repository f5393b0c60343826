#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Velto::Corvane {

// What the window shows about the server, taken as one consistent copy.
struct ServiceStatus {
    enum State : std::int32_t { Stopped = 0, Running = 1, Failed = 2 };

    std::int32_t state{Stopped};
    std::int32_t error{0}; // result code of the last failed start
    bool certificateError{false};
    std::uint16_t port{0};                   // configured while starting, bound once running
    bool https{false};                       // the configuration asked for HTTPS
    std::u16string thumbprint;               // SHA-256 of the certificate in use, lower-case hex
    std::vector<std::string> localAddresses; // where visitors on the local network reach us
    std::int32_t upnpState{0};               // UpnpState
    std::int32_t upnpError{0};               // the router's error code in its last answer
    std::string externalAddress;             // the router's Internet address, when reported
    std::int32_t externalClass{3};           // IPv4Class of externalAddress; Invalid when empty
    std::int32_t openConnections{0};
    std::uint64_t bytesSent{0};
    std::uint64_t bytesReceived{0};
};

} // namespace Velto::Corvane
