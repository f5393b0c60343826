#pragma once

#include <set>

namespace Velto::Corvane {

// Indexes of the interfaces that carry an IPv4 default route (in any routing
// table but the local one), read from the kernel over rtnetlink in the calling
// thread's network namespace. Empty when the table cannot be read.
std::set<unsigned> DefaultRouteInterfaces();

} // namespace Velto::Corvane
