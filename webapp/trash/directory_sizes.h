#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Velto::Corvane {

// One line of a trash's "directorysizes" cache: a folder in "files", its
// disk usage in bytes and the modification time (Unix seconds) of its
// ".trashinfo" when the size was taken.
struct DirectorySize {
    std::string name; // the name in "files", as bytes
    std::uint64_t bytes{0};
    std::int64_t infoTime{0};
};

// The cache text with `added` merged in: lines of other folders are kept as
// they were; a line for a name in `added` is replaced.
std::string MergeDirectorySizes(std::string_view existing, const std::vector<DirectorySize>& added);

// Records `added` in the "directorysizes" file of the trash folder `trashFd`:
// the merged text goes to a temporary file that is renamed over the old one,
// so readers see the old or the new cache, never a part. False on failure
// (the cache is then as it was).
bool RecordDirectorySizes(int trashFd, const std::vector<DirectorySize>& added);

} // namespace Velto::Corvane
