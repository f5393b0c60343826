#include "widget/list/selection_model.h"

#include <algorithm>

namespace Velto::Widget::Models {

std::vector<RowRange> NormaliseRanges(std::vector<RowRange> ranges) {
    std::erase_if(ranges, [](const RowRange& r) { return r.end <= r.first; });
    std::sort(ranges.begin(), ranges.end(),
              [](const RowRange& a, const RowRange& b) { return a.first < b.first; });
    std::vector<RowRange> merged;
    for (const RowRange& r : ranges) {
        if (!merged.empty() && r.first <= merged.back().end)
            merged.back().end = std::max(merged.back().end, r.end);
        else
            merged.push_back(r);
    }
    return merged;
}

std::vector<RowRange> SubtractRanges(const std::vector<RowRange>& a,
                                     const std::vector<RowRange>& b) {
    std::vector<RowRange> out;
    std::size_t j = 0;
    for (RowRange r : a) {
        while (j < b.size() && b[j].end <= r.first)
            ++j;
        std::size_t k = j;
        while (k < b.size() && b[k].first < r.end) {
            if (b[k].first > r.first)
                out.push_back(RowRange{r.first, b[k].first});
            r.first = std::max(r.first, b[k].end);
            ++k;
        }
        if (r.first < r.end)
            out.push_back(r);
    }
    return out;
}

bool SelectionModel::IsSelected(std::int64_t row) const {
    auto it =
        std::upper_bound(m_ranges.begin(), m_ranges.end(), row,
                         [](std::int64_t r, const RowRange& range) { return r < range.first; });
    if (it == m_ranges.begin())
        return false;
    --it;
    return row < it->end;
}

std::int64_t SelectionModel::SelectedCount() const {
    std::int64_t count = 0;
    for (const RowRange& r : m_ranges)
        count += r.Count();
    return count;
}

std::int64_t SelectionModel::FirstSelected() const {
    return m_ranges.empty() ? -1 : m_ranges.front().first;
}

void SelectionModel::SetRowCount(std::int64_t count) {
    count = std::max<std::int64_t>(count, 0);
    m_rowCount = count;
    std::vector<RowRange> kept;
    for (RowRange r : m_ranges) {
        r.end = std::min(r.end, count);
        if (r.first < r.end)
            kept.push_back(r);
    }
    Apply(std::move(kept), m_anchor < count ? m_anchor : -1, m_current < count ? m_current : -1);
}

void SelectionModel::SetMode(SelectionMode mode) {
    m_mode = mode;
    if (mode == SelectionMode::None) {
        Apply({}, m_anchor, m_current);
        return;
    }
    if (mode == SelectionMode::Single && SelectedCount() > 1) {
        const std::int64_t keep = IsSelected(m_current) ? m_current : FirstSelected();
        Apply({RowRange{keep, keep + 1}}, m_anchor, m_current);
    }
}

void SelectionModel::SelectOnly(std::int64_t row) {
    if (!Valid(row))
        return;
    if (m_mode == SelectionMode::None) {
        Apply({}, row, row);
        return;
    }
    Apply({RowRange{row, row + 1}}, row, row);
}

void SelectionModel::Toggle(std::int64_t row) {
    if (!Valid(row))
        return;
    if (m_mode != SelectionMode::Extended) {
        SelectOnly(row);
        return;
    }
    std::vector<RowRange> ranges = m_ranges;
    if (IsSelected(row))
        ranges = SubtractRanges(ranges, {RowRange{row, row + 1}});
    else
        ranges.push_back(RowRange{row, row + 1});
    Apply(NormaliseRanges(std::move(ranges)), row, row);
}

void SelectionModel::SelectRange(std::int64_t row, bool add) {
    if (!Valid(row))
        return;
    if (m_mode != SelectionMode::Extended || !Valid(m_anchor)) {
        SelectOnly(row);
        return;
    }
    const RowRange span{std::min(m_anchor, row), std::max(m_anchor, row) + 1};
    std::vector<RowRange> ranges;
    if (add)
        ranges = m_ranges;
    ranges.push_back(span);
    Apply(NormaliseRanges(std::move(ranges)), m_anchor, row);
}

void SelectionModel::SetCurrent(std::int64_t row) {
    if (!Valid(row))
        return;
    Apply(m_ranges, m_anchor, row);
}

void SelectionModel::SelectAll() {
    if (m_mode != SelectionMode::Extended || m_rowCount == 0)
        return;
    Apply({RowRange{0, m_rowCount}}, m_anchor, m_current);
}

void SelectionModel::ClearSelection() {
    Apply({}, m_anchor, m_current);
}

void SelectionModel::SelectBand(RowRange rows, const std::vector<RowRange>* base) {
    if (m_mode != SelectionMode::Extended)
        return;
    rows.first = std::max<std::int64_t>(rows.first, 0);
    rows.end = std::min(rows.end, m_rowCount);
    std::vector<RowRange> ranges;
    if (base != nullptr)
        ranges = *base;
    if (rows.first < rows.end)
        ranges.push_back(rows);
    const std::int64_t current = rows.first < rows.end ? rows.end - 1 : m_current;
    Apply(NormaliseRanges(std::move(ranges)), m_anchor, current);
}

void SelectionModel::Apply(std::vector<RowRange> ranges, std::int64_t anchor,
                           std::int64_t current) {
    SelectionChange change;
    change.added = SubtractRanges(ranges, m_ranges);
    change.removed = SubtractRanges(m_ranges, ranges);
    change.previousAnchor = m_anchor;
    change.anchor = anchor;
    change.previousCurrent = m_current;
    change.current = current;
    if (change.added.empty() && change.removed.empty() && anchor == m_anchor &&
        current == m_current)
        return;
    m_ranges = std::move(ranges);
    m_anchor = anchor;
    m_current = current;
    change.counter = ++m_counter;
    // A listener may add or remove listeners.
    const std::vector<Entry> listeners = m_listeners;
    for (const Entry& entry : listeners)
        entry.listener(change);
}

std::uint64_t SelectionModel::AddListener(Listener listener) {
    const std::uint64_t id = m_nextListener++;
    m_listeners.push_back(Entry{id, std::move(listener)});
    return id;
}

void SelectionModel::RemoveListener(std::uint64_t id) {
    std::erase_if(m_listeners, [id](const Entry& e) { return e.id == id; });
}

} // namespace Velto::Widget::Models
