#pragma once

#include <sys/socket.h>

#include <string>

namespace Velto {

// The numeric text of an IPv4 or IPv6 socket address, without the port. An
// IPv4-mapped IPv6 address reads as the IPv4 address it carries; other
// families give an empty string.
std::string SocketAddressText(const sockaddr_storage& address);

} // namespace Velto
