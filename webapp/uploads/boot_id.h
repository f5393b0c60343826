#pragma once

#include <string>

namespace Velto::Corvane {

// The kernel's random identity of the running boot; empty when it cannot be
// read. Two equal values mean the system has not been restarted in between,
// so nothing written to a file since then was lost with the page cache.
std::string CurrentBootId();

} // namespace Velto::Corvane
