#pragma once

namespace Velto::Corvane {

// Outcome of opening an item inside a share. Routes turn Denied into "denied",
// Busy into "busy" where they distinguish it, and everything else into
// "notFound"; Outside is never reported as such.
enum class OpenResult {
    Ok = 0,
    NotFound = 1,
    Denied = 2,
    Busy = 3,
    Outside = 4,
    Failed = 5,
};

// ENOENT, ENOTDIR, ENAMETOOLONG, ELOOP -> NotFound; EACCES, EPERM -> Denied;
// EBUSY, ETXTBSY -> Busy; anything else -> Failed.
OpenResult OpenResultFromErrno(int err);

} // namespace Velto::Corvane
