#pragma once

#include "server/http/server_counters.h"
#include "server/net/connection.h"

#include <cstdint>
#include <string>

namespace Velto::Corvane {

// The server's own short refusals (400, 431, 503): an empty body, no caching,
// and the connection closes afterwards.
std::string CannedResponse(std::int32_t status);

// Sends the refusal with one Send; counts its bytes when the send succeeds.
void SendCannedResponse(Net::IConnection& connection, ServerCounters& counters,
                        std::int32_t status);

} // namespace Velto::Corvane
