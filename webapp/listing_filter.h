#pragma once

#include "webapp/fs/dir_entry.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/share_root.h"

namespace Velto::Corvane {

// Whether a folder entry is shown to visitors: never an unfinished upload,
// a hidden item only when hidden items are shown, and a link only when it can
// be opened inside the share (one that leads out of it, or to nothing, is left
// out). `folder` holds the components of the listed folder; it is used as
// scratch space and given back unchanged.
bool IsListedEntry(const ShareRoot& root, PathComponents& folder, const DirEntry& entry,
                   bool showHidden);

} // namespace Velto::Corvane
