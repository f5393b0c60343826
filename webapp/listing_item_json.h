#pragma once

#include "webapp/fs/dir_entry.h"

#include <string>
#include <string_view>

namespace Velto::Corvane {

// One item of a listing, written straight into the reply: the bytes of
// serializing {"name", "dir", "size", "modified"[, "kind", "inline"]}
// compactly, without building a tree for each of many thousands of entries.
// Search results carry the folder that holds the item as a last member,
// "path", when `folderPath` is given.
void AppendListingItem(std::string& out, const DirEntry& entry,
                       const std::string* folderPath = nullptr);

} // namespace Velto::Corvane
