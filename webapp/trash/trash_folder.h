#pragma once

#include "base/unique_fd.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace Velto::Corvane {

// One trash folder of the freedesktop.org trash layout, opened: the folder
// itself (it holds "directorysizes"), its "files" folder that receives the
// items and its "info" folder with one ".trashinfo" per item.
struct TrashFolder {
    UniqueFd base;
    UniqueFd files;
    UniqueFd info;
    // Empty for the home trash, whose records name items by absolute path;
    // otherwise the top folder of the mount, which relative paths start from.
    std::string topdir;
    std::uint64_t mountId{0};
};

// The trash that items on the mount `mountId` go to, without ever crossing
// mounts: the home trash (`homeTrash`, created when missing) when it lies on
// that mount; else $topdir/.Trash/$uid when $topdir/.Trash is a real folder
// with the sticky bit; else $topdir/.Trash-$uid. The per-user folders are
// created when missing (mode 0700) and must be real folders owned by `uid`
// on that same, writable mount. None when no trash there can be used.
std::optional<TrashFolder> FindTrashFolder(std::uint64_t mountId, const std::string& homeTrash,
                                           uid_t uid);

} // namespace Velto::Corvane
