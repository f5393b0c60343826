#pragma once

#include <compare>
#include <cstdint>
#include <optional>

namespace Velto::Corvane {

// One version of one file: which file (device and inode, so a rename or a
// second link finds the same one) and its modification time and size, which
// change whenever it is written.
struct FileVersion {
    std::uint64_t device{0};
    std::uint64_t inode{0};
    std::int64_t modifiedNs{0};
    std::uint64_t size{0};

    auto operator<=>(const FileVersion&) const = default;
};

// The version of the open file `fd`; none when it cannot be read.
std::optional<FileVersion> FileVersionOf(int fd);

} // namespace Velto::Corvane
