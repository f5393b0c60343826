#pragma once

#include "base/result.h"
#include "base/unique_fd.h"

#include <cstdint>
#include <string>

namespace Velto::Corvane {

// Creates, binds and listens: 127.0.0.1 when loopbackOnly, otherwise a
// dual-stack IPv6 socket on the any-address (IPv4 any-address when IPv6 is
// unavailable). The descriptor is close-on-exec and does not block: accepting
// when nobody is waiting fails with kTimedOut at once.
Result OpenListenSocket(std::uint16_t port, bool loopbackOnly, UniqueFd& socket,
                        std::uint16_t& boundPort);

// Accepts one connection (close-on-exec, blocking even from the non-blocking
// listening socket) and returns the peer's
// address text: dotted IPv4, IPv6 text, or the IPv4 part of a mapped address.
Result AcceptConnection(int listenSocket, UniqueFd& socket, std::string& peer);

} // namespace Velto::Corvane
