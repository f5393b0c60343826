#pragma once

#include "webapp/fs/item_name.h"
#include "webapp/fs/share_root.h"
#include "webapp/trash/recycle_result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Velto::Corvane {

// An item to delete, checked (opened through the confined walk) before
// anything is moved.
struct DeleteItem {
    PathComponents components;
    std::string fullPath;
    std::u16string displayPath;
    std::uint64_t mountId{0};
};

// Moves every item to the trash of its own mount, in order, stopping at the
// first failure (items moved before it stay in the trash). A mount without a
// usable trash is found before anything moves.
RecycleResult RecycleItems(const ShareRoot& root, bool showHidden,
                           const std::vector<DeleteItem>& items);

} // namespace Velto::Corvane
