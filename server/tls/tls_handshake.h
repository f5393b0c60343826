#pragma once

#include "base/result.h"
#include "server/net/connection.h"
#include "server/tls/tls_session.h"

#include <cstdint>

namespace Velto::Net {

// How long the server waits for each piece of a client's handshake.
constexpr std::uint32_t kServerHandshakeTimeoutMs = 10000;

// Runs the handshake to completion over `connection`. A peer that closes
// during the handshake gives 0x80072746.
Result Handshake(TlsSession& session, IConnection& connection);

// Handshake with a receive time-out (0 = none) that is cleared afterwards.
Result HandshakeOverConnection(IConnection& connection, TlsSession& session,
                               std::uint32_t timeoutMs);

} // namespace Velto::Net
