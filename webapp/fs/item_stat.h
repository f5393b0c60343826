#pragma once

#include "base/clock.h"
#include "webapp/fs/file_attributes.h"

#include <cstdint>

namespace Velto::Corvane {

// What a successful open reports about the item.
struct ItemStat {
    std::uint32_t attributes{0}; // FILE_ATTRIBUTE_* bits
    std::uint64_t size{0};       // bytes; 0 for folders
    FileTime lastWriteTime{0};
    // Linux additions: the st_mode bits and the mount the item lives on (for
    // telling whether two items share a file system).
    std::uint32_t mode{0};
    std::uint64_t mountId{0};

    bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// The attribute bits of an item: folder, hidden (by its name), or else normal.
constexpr std::uint32_t ItemAttributes(bool isDirectory, bool isHidden) {
    std::uint32_t attributes = 0;
    if (isDirectory)
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (isHidden)
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

} // namespace Velto::Corvane
