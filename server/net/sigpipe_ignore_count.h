#pragma once

#include "base/result.h"

namespace Velto::Net {

// Process-wide count of the parts that write to sockets. The first acquire
// sets SIGPIPE to be ignored, so that a peer closing while we write gives
// EPIPE instead of ending the process; every successful acquire is matched by
// one release. The last release leaves SIGPIPE ignored: another library may
// rely on it by then, and restoring the default gains nothing.
Result AcquireSigpipeIgnore();
void ReleaseSigpipeIgnore();

// Whether at least one acquire is outstanding.
bool IsSigpipeIgnoreHeld();

} // namespace Velto::Net
