#pragma once

#include "config/config.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/share_root.h"

#include <string>

namespace Velto::Corvane {

// What the share gate hands to a route: the share inside the request's
// configuration snapshot, its resolved root, the validated item path and the
// visitor's rights on the share.
//
// Through a share link the root is the link's target (a folder, or a single
// file), `name` is ":" + the link's id, and for an upload-only link `rights`
// is Write alone: every route that needs Read refuses it, and `uploadOnly`
// marks it for the routes that change existing items with Write.
struct ShareTarget {
    const Share* share{nullptr};
    ShareRoot root;
    PathComponents components;
    AccessFlags rights{};
    std::u16string name;     // the share name the request used; replies name the root by it
    std::u16string title;    // how the root calls itself: the share's or the target's name
    PathComponents linkPath; // a link's target inside the share; empty otherwise
    std::string linkId;      // the link the request came through; empty otherwise
    bool uploadOnly{false};

    // "/" + share name, then "/" and each component (a link's target path
    // first): how access-log records name the item.
    std::u16string DisplayPath() const;
};

} // namespace Velto::Corvane
