#pragma once

#include "base/unique_fd.h"
#include "webapp/fs/item_stat.h"
#include "webapp/fs/open_result.h"
#include "webapp/fs/share_root.h"

#include <span>
#include <string>

namespace Velto::Corvane {

// The folder at `components` through OpenItem (ReadAttributes): an O_PATH
// descriptor to serve as the directory of the *at calls that create, rename
// and remove items in it. NotFound when the item is not a folder.
OpenResult OpenFolder(const ShareRoot& root, std::span<const std::u16string> components,
                      bool allowHidden, UniqueFd& folder, ItemStat& stat);

// The folder that holds the item at `components` (which must not be empty):
// for a single-file share the folder of its file, else the folder at all
// components but the last, as OpenFolder opens it.
OpenResult OpenParentFolder(const ShareRoot& root, std::span<const std::u16string> components,
                            bool allowHidden, UniqueFd& folder);

} // namespace Velto::Corvane
