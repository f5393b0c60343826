#pragma once

#include "server/http/connection_io.h"
#include "server/http/head_parser.h"
#include "server/net/connection.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Velto::Corvane {

// One admitted connection and where it stands between requests. A connection
// is either busy (one worker thread owns it and runs its requests) or parked
// (it waits for its next bytes in the poller and holds no thread).
struct ServedConnection {
    std::uint64_t id{0};
    std::string peer; // the client's address text, fixed at admission
    std::string key;  // what the per-address cap counts it under
    int socket{-1};   // the TCP socket's descriptor, owned by `transport`
    std::shared_ptr<Net::IConnection> transport;  // the TCP connection
    std::shared_ptr<Net::IConnection> connection; // the outermost one (TLS or TCP)
    std::unique_ptr<ConnectionIo> io;             // made once the handshake is done
    RequestHeadParser parser;                     // the head being read
    // When the wait for the head being read ends (TickCount64 milliseconds).
    std::uint64_t deadline{0};
    std::uint64_t parkedSince{0};
    std::uint64_t served{0}; // requests answered: the connection's progress
    bool awaitingFirstByte{false};
    bool busy{false};
};

} // namespace Velto::Corvane
