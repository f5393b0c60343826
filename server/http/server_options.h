#pragma once

#include "server/tls/tls_credentials.h"

#include <cstdint>
#include <memory>

namespace Velto::Corvane {

struct ServerOptions {
    std::uint16_t port{8080}; // 0 asks the system for an ephemeral port
    bool loopbackOnly{false};
    std::shared_ptr<const Net::TlsCredentials> tls; // empty = plain HTTP
    std::uint64_t maxConnections{64};
    std::uint32_t headerTimeoutMs{15000};
    std::uint32_t idleTimeoutMs{60000};
    std::uint32_t ioTimeoutMs{60000};
    // Slots one client address may hold at once, so that a single visitor
    // cannot take every slot; its next connection is refused like the one
    // past maxConnections.
    std::uint64_t maxConnectionsPerAddress{16};
};

} // namespace Velto::Corvane
