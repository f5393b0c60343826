#pragma once

#include "base/unique_fd.h"

namespace Velto::Corvane {

// A descriptor, or the errno value of the call that failed to produce one.
struct FdOrErrno {
    UniqueFd fd;
    int error{0};

    bool Ok() const { return fd.IsValid(); }
};

} // namespace Velto::Corvane
