#pragma once

#include <cstdint>
#include <optional>

namespace Velto::Net {

// Bytes of this connection's sent data that the peer has acknowledged, as
// the kernel counts them: progress the peer makes while a send of ours is
// still blocked. Empty when the kernel does not say.
std::optional<std::uint64_t> TcpAckedBytes(int socket);

} // namespace Velto::Net
