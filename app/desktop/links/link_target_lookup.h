#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace App {

// What a link's target is on disk: a folder, a regular file, nothing (or
// something else, a device or a pipe), or a path that a symbolic link leads
// out of the root.
enum class LinkTargetKind : std::int32_t { Folder = 0, File = 1, Missing = 2, Outside = 3 };

// The kind of `root`/`relative` (relative: '/'-separated, no "." or ".."
// components; empty: the root itself, which may be a file).
LinkTargetKind LookUpLinkTarget(std::u16string_view root, std::u16string_view relative);

// The path of `absolute` relative to `root` once both are resolved (symbolic
// links followed), '/'-separated and empty for the root itself; none when
// either does not exist or `absolute` lies outside the root.
std::optional<std::u16string> ResolvedPathInside(std::u16string_view root,
                                                 std::u16string_view absolute);

} // namespace App
