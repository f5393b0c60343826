#pragma once

#include "base/clock.h"

#include <cstdint>
#include <string>

namespace Velto::Corvane {

// One entry of a folder listing.
struct DirEntry {
    std::u16string name;
    std::uint32_t attributes{0}; // FILE_ATTRIBUTE_* bits
    std::uint64_t size{0};       // bytes; 0 for folders
    FileTime lastWriteTime{0};
    std::uint32_t reparseTag{0}; // IO_REPARSE_TAG_SYMLINK for a symbolic link, else 0
};

} // namespace Velto::Corvane
