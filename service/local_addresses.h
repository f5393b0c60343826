#pragma once

#include <string>
#include <vector>

namespace Velto::Corvane {

// The IPv4 addresses (dotted) at which this machine is reached on its local
// networks, for the calling thread's network namespace: interfaces that are up
// and running, loopback and 169.254.x.x left out. Addresses of interfaces that
// carry a default route come first, each group in interface order. Empty when
// the interfaces cannot be read.
std::vector<std::string> LocalIPv4Addresses();

} // namespace Velto::Corvane
