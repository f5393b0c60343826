#pragma once

#include "base/clock.h"

#include <string>

namespace Velto::Corvane {

// Sets an item's modification time (its access time is left alone). Both
// return 0 or the errno value.
// On an open file descriptor (not O_PATH).
int SetModifiedTime(int fd, FileTime time);
// On the item `name` in the folder `dirFd` (O_PATH allowed), without following
// a link of that name.
int SetModifiedTimeAt(int dirFd, const std::string& name, FileTime time);

} // namespace Velto::Corvane
