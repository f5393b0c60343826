#pragma once

#include <cstdint>
#include <vector>

namespace Velto::Widget::Models {

enum class SelectionMode : std::int32_t { None = 0, Single = 1, Extended = 2 };

// Rows [first, end).
struct RowRange {
    std::int64_t first{0};
    std::int64_t end{0};

    std::int64_t Count() const { return end - first; }
    friend bool operator==(const RowRange&, const RowRange&) = default;
};

// What one change of a selection model did; listeners get it after the
// model is updated.
struct SelectionChange {
    std::vector<RowRange> added;
    std::vector<RowRange> removed;
    std::int64_t previousAnchor{-1};
    std::int64_t anchor{-1};
    std::int64_t previousCurrent{-1};
    std::int64_t current{-1};
    std::uint64_t counter{0};
};

} // namespace Velto::Widget::Models
