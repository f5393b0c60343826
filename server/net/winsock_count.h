#pragma once

#include "base/result.h"

namespace Velto::Net {

// Process-wide start-up count of the socket layer. The first acquire prepares
// the process for socket I/O (SIGPIPE ignored); every successful acquire is
// matched by one release.
Result AcquireWinsock();
void ReleaseWinsock();

// Whether at least one acquire is outstanding.
bool IsWinsockStarted();

} // namespace Velto::Net
