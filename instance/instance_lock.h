#pragma once

#include "base/unique_fd.h"

#include <string>

namespace Velto::Instance {

// An exclusive advisory lock (flock) on a file; the system drops it when the
// holder ends, however it ends, so a crashed copy never leaves it taken.
// Invalid when another process holds it or the file cannot be opened.
UniqueFd TryLockFile(const std::string& path);

} // namespace Velto::Instance
