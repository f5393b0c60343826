#pragma once

#include "widget/list/selection_change.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace Velto::Widget::Models {

// The selected rows of a list as ordered, disjoint ranges, with the anchor
// of range selections and the current row (the one with the focus
// rectangle). Every operation that changes something reports one
// SelectionChange to the listeners.
class SelectionModel {
public:
    using Listener = std::function<void(const SelectionChange&)>;

    std::int64_t RowCount() const { return m_rowCount; }
    // Rows at or beyond the new count leave the selection (reported as
    // removed); anchor and current beyond it become none.
    void SetRowCount(std::int64_t count);
    SelectionMode Mode() const { return m_mode; }
    // Narrows the selection to what the mode allows.
    void SetMode(SelectionMode mode);

    const std::vector<RowRange>& Ranges() const { return m_ranges; }
    bool IsSelected(std::int64_t row) const;
    std::int64_t SelectedCount() const;
    // The first selected row, or -1.
    std::int64_t FirstSelected() const;
    std::int64_t Anchor() const { return m_anchor; }
    std::int64_t Current() const { return m_current; }
    std::uint64_t ChangeCounter() const { return m_counter; }

    // Exactly that row, made current and anchor.
    void SelectOnly(std::int64_t row);
    // Ctrl: flips the row and makes it current and anchor (Single mode:
    // selects only it).
    void Toggle(std::int64_t row);
    // Shift: the rows from the anchor to `row`, replacing the selection or
    // (add) added to it; `row` becomes current and the anchor stays.
    // Without an anchor, or in Single mode, selects only the row.
    void SelectRange(std::int64_t row, bool add);
    // Moves the current row only.
    void SetCurrent(std::int64_t row);
    // Every row (Extended mode only).
    void SelectAll();
    // Nothing selected; anchor and current stay.
    void ClearSelection();
    // Rows touched by a rubber band: the range replaces the selection, or is
    // added to `base` (the selection when the band started).
    void SelectBand(RowRange rows, const std::vector<RowRange>* base);

    std::uint64_t AddListener(Listener listener);
    void RemoveListener(std::uint64_t id);

private:
    bool Valid(std::int64_t row) const { return row >= 0 && row < m_rowCount; }
    // Makes `ranges` (normalised) the selection with the given anchor and
    // current, and reports the difference when anything changed.
    void Apply(std::vector<RowRange> ranges, std::int64_t anchor, std::int64_t current);

    std::int64_t m_rowCount{0};
    std::vector<RowRange> m_ranges;
    std::int64_t m_anchor{-1};
    std::int64_t m_current{-1};
    SelectionMode m_mode{SelectionMode::Extended};
    std::uint64_t m_counter{0};
    struct Entry {
        std::uint64_t id{0};
        Listener listener;
    };
    std::vector<Entry> m_listeners;
    std::uint64_t m_nextListener{1};
};

// Set operations on ordered, disjoint range lists.
std::vector<RowRange> NormaliseRanges(std::vector<RowRange> ranges);
// The rows of `a` that are not in `b`.
std::vector<RowRange> SubtractRanges(const std::vector<RowRange>& a,
                                     const std::vector<RowRange>& b);

} // namespace Velto::Widget::Models
