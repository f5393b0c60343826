#pragma once

#include "webapp/fs/item_name.h"
#include "webapp/fs/share_root.h"

#include <cstdint>
#include <string>

namespace Velto::Corvane {

enum class TreeCopyResult { Copied, Exists, NoSpace, Denied, Failed };

// Copies the item at `source` inside `root` to the new name `toName` in the
// folder `toFolderFd`, through the confined walk on the reading side and one
// name at a time on the writing side. A folder's content comes along when
// `recursive` is set, down to `depthLeft` levels, leaving out what a listing
// leaves out (hidden items unless they are shown, unfinished uploads, links
// leading out of the share). A file is written under a temporary name, put on
// the disk, then renamed, so no half-copied file ever has the new name. The
// modification time and the dead properties come along. `source` is given
// back unchanged.
TreeCopyResult CopyTree(const ShareRoot& root, PathComponents& source, int toFolderFd,
                        const std::string& toName, bool recursive, bool showHidden,
                        std::uint32_t depthLeft);

} // namespace Velto::Corvane
