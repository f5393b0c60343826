#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Velto::Corvane {

// The disk space the folder `name` inside `dirFd` and everything below it
// take, in bytes of allocated blocks (as du -B1 counts, a file with several
// links once). Links are never followed and other mounts never entered. None
// when the folder cannot be read to the end.
std::optional<std::uint64_t> FolderDiskUsage(int dirFd, const std::string& name);

} // namespace Velto::Corvane
