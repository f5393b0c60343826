#pragma once

#include "base/unique_fd.h"
#include "server/net/connection.h"

#include <memory>
#include <string>

namespace Velto::Net {

// Wraps an accepted, connected, blocking socket. Takes the descriptor out of
// `socket` (leaving it empty) and the label (the peer's address text, or empty).
// Nagle's algorithm is turned off; failing to do so is only a warning.
std::unique_ptr<IConnection> MakeTcpConnection(UniqueFd& socket, std::u16string label);

} // namespace Velto::Net
