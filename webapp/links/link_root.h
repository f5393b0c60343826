#pragma once

#include "webapp/fs/item_name.h"
#include "webapp/fs/share_root.h"

#include <optional>
#include <span>
#include <string>

namespace Velto::Corvane {

// The root a link's visitors get: the link's target inside the share (a
// folder, or a file as a single-file root), reached by the share's confined
// walk under the share's name rules. None when the target is gone, cannot be
// reached inside the share, or changed place while it was being resolved.
std::optional<ShareRoot> ResolveLinkRoot(const ShareRoot& shareRoot,
                                         std::span<const std::u16string> target, bool showHidden);

} // namespace Velto::Corvane
