#pragma once

#include <cstdint>

namespace Velto::Corvane {

// Bytes the calling user may still write on the file system of `fd` (any
// descriptor, O_PATH too); 0 when that cannot be found out.
std::uint64_t FreeBytesAvailable(int fd);

// True when the file system of `fd` is mounted read-only (or cannot be asked).
bool IsOnReadOnlyMount(int fd);

} // namespace Velto::Corvane
