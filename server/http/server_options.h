#pragma once

#include "server/tls/tls_credentials.h"

#include <cstdint>
#include <memory>

namespace Velto::Corvane {

struct ServerOptions {
    std::uint16_t port{8080}; // 0 asks the system for an ephemeral port
    bool loopbackOnly{false};
    std::shared_ptr<const Net::TlsCredentials> tls; // empty = plain HTTP
    // Connections admitted at once. A connection waiting between requests
    // holds no thread, and one in a request holds one thread for its
    // duration; when the table is full, the waiting connection that has
    // answered fewest requests makes room for a newcomer.
    std::uint64_t maxConnections{2048};
    std::uint32_t headerTimeoutMs{15000};
    std::uint32_t idleTimeoutMs{60000};
    std::uint32_t ioTimeoutMs{60000};
    // Connections one client may hold at once, so that a single visitor
    // cannot take every slot; its next connection is refused with a 503. An
    // IPv6 client is counted by its /64 network.
    std::uint64_t maxConnectionsPerAddress{16};
    // While a request waits on its client (a body arriving, a reply being
    // read), the client must move at least minRateBytes per minRateWindowMs
    // of waiting, or the connection ends; 0 turns the check off. 16 KiB per
    // 30 s passes any real link, however slow, and ends clients that trickle
    // a byte now and then or read a few bytes at a time to hold a thread.
    std::uint32_t minRateWindowMs{30000};
    std::uint64_t minRateBytes{16384};
};

} // namespace Velto::Corvane
