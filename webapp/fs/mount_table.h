#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Where the mount with this id (statx's stx_mnt_id) is mounted in this
// process's view of the tree: the top folder of that mount. None when the
// mount is not listed or lies outside the process's root.
std::optional<std::string> MountPointOf(std::uint64_t mountId);

// The mount point of `mountId` from the text of /proc/self/mountinfo.
std::optional<std::string> FindMountPoint(std::string_view mountInfo, std::uint64_t mountId);

} // namespace Velto::Corvane
