#pragma once

namespace Velto::Corvane {

// Outcome of moving items to the trash.
enum class RecycleResult {
    Recycled = 0,
    // No trash on an item's mount can be used: the item would have to be
    // deleted for good (or copied across mounts), so nothing was done to it.
    NoRecycleBin = 1,
    RecycleFailed = 2,
};

} // namespace Velto::Corvane
