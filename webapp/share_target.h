#pragma once

#include "config/config.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/share_root.h"

#include <string>

namespace Velto::Corvane {

// What the share gate hands to a route: the share inside the request's
// configuration snapshot, its resolved root, the validated item path and the
// visitor's rights on the share.
struct ShareTarget {
    const Share* share{nullptr};
    ShareRoot root;
    PathComponents components;
    AccessFlags rights{};

    // "/" + share name, then "/" and each component: how access-log records
    // name the item.
    std::u16string DisplayPath() const;
};

} // namespace Velto::Corvane
