#pragma once

#include "widget/render/text_format.h"

#include <cstdint>
#include <string>

namespace Velto::Widget::List {

// One column of a list view, in display order.
struct Column {
    std::int32_t id{0}; // passed to the source's cell-text query
    std::u16string title;
    float width{120};
    float minWidth{48};
    float maxWidth{2000};
    TextAlignment alignment{TextAlignment::Leading};
    bool sortable{true};
    bool resizable{true};
    bool visible{true};
};

// Which column the owner sorted by; the list only shows it.
struct SortState {
    std::int32_t column{-1}; // -1: unsorted
    bool descending{false};

    friend bool operator==(const SortState&, const SortState&) = default;
};

} // namespace Velto::Widget::List
