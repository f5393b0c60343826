#pragma once

#include <cstdint>

namespace Velto::Corvane {

// Item attributes keep the bit values the web application and its listing test
// (they are the documented Windows values). On Linux they are derived: a name
// beginning with "." is hidden, a symbolic link is a reparse point with the
// symlink tag, and there is no "system" item.
constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x1;
constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr std::uint32_t FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;

constexpr std::uint32_t IO_REPARSE_TAG_MOUNT_POINT = 0xA0000003;
constexpr std::uint32_t IO_REPARSE_TAG_SYMLINK = 0xA000000C;

// True for the tags of entries that lead somewhere else (symbolic links and
// mount points); a listing opens such an entry before it shows it.
constexpr bool IsLink(std::uint32_t reparseTag) {
    return reparseTag == IO_REPARSE_TAG_SYMLINK || reparseTag == IO_REPARSE_TAG_MOUNT_POINT;
}

} // namespace Velto::Corvane
