#pragma once

#include <string>
#include <vector>

namespace App {

// A path the user dropped or picked, and whether it becomes a single-file
// share or a folder share.
struct ShareCandidate {
    std::u16string path;
    bool isFile{false};
};

// The paths that can be shared, in the given order: folders and regular
// files. Paths that no longer exist, cannot be examined, name something else
// (a device, a pipe) or are not valid UTF-8 are left out.
std::vector<ShareCandidate> ShareCandidates(const std::vector<std::string>& paths);

} // namespace App
