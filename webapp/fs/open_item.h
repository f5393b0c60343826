#pragma once

#include "base/unique_fd.h"
#include "webapp/fs/item_stat.h"
#include "webapp/fs/open_result.h"
#include "webapp/fs/share_root.h"

#include <span>
#include <string>

namespace Velto::Corvane {

// What the caller wants to do with an opened item.
enum class ItemAccess {
    // Stat or test an item. The descriptor is O_PATH: it cannot read, but a
    // folder's descriptor serves as the directory of the *at calls, which is how
    // new items are made and renamed inside a share (mkdirat, openat with
    // O_CREAT|O_EXCL|O_NOFOLLOW, renameat2 with RENAME_NOREPLACE, unlinkat), one
    // validated name at a time; fstatvfs on it gives the folder's free space.
    ReadAttributes,
    // Read a file: O_RDONLY|O_NONBLOCK.
    Read,
    // List a folder with EnumerateDirectory: opened like Read.
    ListDirectory,
};

// The only way the web application opens anything inside a share.
//
// `components` must be valid item names (ParseSharePath), at most 128 of them;
// the empty sequence is the share's root. For a single-file share the
// components must be exactly one name equal to the file's name in any letter
// case, and the stored name is opened. No component may be an upload temporary
// name, and unless `allowHidden` none may be hidden, so a hidden folder hides
// everything below it. Symbolic links are followed only while they stay inside
// the share; where one is followed, the place reached must also pass the name
// rules, so a link cannot lead to a hidden item, an upload temporary file or a
// name that cannot be addressed. Only regular files and folders are ever
// opened: FIFOs, devices and sockets are NotFound, and nothing blocks.
//
// On Ok, `handle` receives the descriptor (replacing what it held) and `stat`
// the item's details; on any other result both are left untouched.
OpenResult OpenItem(const ShareRoot& root, std::span<const std::u16string> components,
                    ItemAccess access, bool allowHidden, UniqueFd& handle, ItemStat& stat);

} // namespace Velto::Corvane
