#pragma once

#include "webapp/fs/item_name.h"
#include "webapp/fs/share_root.h"

#include <string>

namespace Velto::Corvane {

// The absolute path of the folder an upload to `components` lands in, as
// OpenParentFolder finds it: for a single-file share the folder of its file.
std::string DestinationFolderPath(const ShareRoot& root, const PathComponents& components);

} // namespace Velto::Corvane
