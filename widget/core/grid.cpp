#include "widget/core/grid.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

const GridLength kOneStar = GridLength::Star(1);

float Clamp(float value, const GridLength& d) {
    return std::max(d.min, std::min(value, d.max));
}

std::span<const GridLength> Definitions(const std::vector<GridLength>& defs) {
    return defs.empty() ? std::span<const GridLength>(&kOneStar, 1) : std::span(defs);
}

bool AllPixel(std::span<const GridLength> defs, int first, int span) {
    for (int i = first; i < first + span; ++i)
        if (defs[static_cast<std::size_t>(i)].kind != GridUnit::Pixel)
            return false;
    return true;
}

float SpanPixels(std::span<const GridLength> defs, int first, int span, float spacing) {
    float sum = spacing * static_cast<float>(span - 1);
    for (int i = first; i < first + span; ++i)
        sum += Clamp(defs[static_cast<std::size_t>(i)].value, defs[static_cast<std::size_t>(i)]);
    return sum;
}

float SpanSize(const std::vector<float>& sizes, int first, int span, float spacing) {
    float sum = spacing * static_cast<float>(span - 1);
    for (int i = first; i < first + span; ++i)
        sum += sizes[static_cast<std::size_t>(i)];
    return sum;
}

float Total(const std::vector<float>& sizes, float spacing) {
    if (sizes.empty())
        return 0;
    return SpanSize(sizes, 0, static_cast<int>(sizes.size()), spacing);
}

// A child spanning several tracks spreads what its tracks lack equally over
// those that are not fixed.
void DistributeExcess(std::span<const GridLength> defs, std::vector<float>& automatic, int first,
                      int span, float desired, float spacing) {
    const float extra = desired - SpanSize(automatic, first, span, spacing);
    if (!(extra > 0))
        return;
    int flexible = 0;
    for (int i = first; i < first + span; ++i)
        flexible += defs[static_cast<std::size_t>(i)].kind != GridUnit::Pixel ? 1 : 0;
    if (flexible == 0)
        return;
    const float share = extra / static_cast<float>(flexible);
    for (int i = first; i < first + span; ++i)
        if (defs[static_cast<std::size_t>(i)].kind != GridUnit::Pixel)
            automatic[static_cast<std::size_t>(i)] += share;
}

} // namespace

std::vector<float> ResolveGridLengths(std::span<const GridLength> definitions,
                                      std::span<const float> automaticSizes, float available,
                                      float spacing) {
    const std::size_t count = definitions.size();
    std::vector<float> sizes(count, 0.0f);
    if (count == 0)
        return sizes;
    auto automatic = [&](std::size_t i) {
        return i < automaticSizes.size() ? automaticSizes[i] : 0.0f;
    };

    float used = static_cast<float>(count - 1) * spacing;
    float totalWeight = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const GridLength& d = definitions[i];
        if (d.kind == GridUnit::Pixel) {
            sizes[i] = Clamp(d.value, d);
            used += sizes[i];
        } else if (d.kind == GridUnit::Auto) {
            sizes[i] = Clamp(automatic(i), d);
            used += sizes[i];
        } else {
            totalWeight += d.value;
        }
    }
    if (!(totalWeight > 0))
        return sizes;

    if (std::isinf(available)) {
        float unit = 0;
        for (std::size_t i = 0; i < count; ++i)
            if (definitions[i].kind == GridUnit::Star && definitions[i].value > 0)
                unit = std::max(unit, automatic(i) / definitions[i].value);
        for (std::size_t i = 0; i < count; ++i)
            if (definitions[i].kind == GridUnit::Star)
                sizes[i] = Clamp(unit * definitions[i].value, definitions[i]);
        return sizes;
    }

    float remaining = std::max(0.0f, available - used);
    std::vector<bool> fixed(count, false);
    for (bool again = true; again;) {
        again = false;
        float weights = 0;
        for (std::size_t i = 0; i < count; ++i)
            if (definitions[i].kind == GridUnit::Star && !fixed[i])
                weights += definitions[i].value;
        for (std::size_t i = 0; i < count; ++i) {
            const GridLength& d = definitions[i];
            if (d.kind != GridUnit::Star || fixed[i])
                continue;
            const float share = weights > 0 ? remaining * d.value / weights : 0.0f;
            sizes[i] = Clamp(share, d);
            if (sizes[i] != share) {
                fixed[i] = true;
                remaining = std::max(0.0f, remaining - sizes[i]);
                again = true;
            }
        }
    }
    return sizes;
}

void Grid::AddColumn(const GridLength& length) {
    m_columnDefinitions.push_back(length);
    InvalidateMeasure();
}

void Grid::AddRow(const GridLength& length) {
    m_rowDefinitions.push_back(length);
    InvalidateMeasure();
}

void Grid::SetSpacing(float rowSpacing, float columnSpacing) {
    if (m_rowSpacing == rowSpacing && m_columnSpacing == columnSpacing)
        return;
    m_rowSpacing = rowSpacing;
    m_columnSpacing = columnSpacing;
    InvalidateMeasure();
}

Widget* Grid::AddAt(std::unique_ptr<Widget> child, int row, int column, int rowSpan,
                    int columnSpan) {
    const Widget* key = child.get();
    Widget* added = AddChild(std::move(child));
    if (added != nullptr)
        m_placements[key] = Placement{std::max(row, 0), std::max(column, 0), std::max(rowSpan, 1),
                                      std::max(columnSpan, 1)};
    return added;
}

void Grid::OnChildRemoving(Widget& child) {
    m_placements.erase(&child);
}

Grid::Placement Grid::PlacementOf(const Widget& child) const {
    Placement p;
    if (const auto it = m_placements.find(&child); it != m_placements.end())
        p = it->second;
    const int rows = static_cast<int>(Definitions(m_rowDefinitions).size());
    const int columns = static_cast<int>(Definitions(m_columnDefinitions).size());
    p.row = std::min(p.row, rows - 1);
    p.column = std::min(p.column, columns - 1);
    p.rowSpan = std::min(p.rowSpan, rows - p.row);
    p.columnSpan = std::min(p.columnSpan, columns - p.column);
    return p;
}

SizeF Grid::MeasureOverride(SizeF available) {
    const auto columns = Definitions(m_columnDefinitions);
    const auto rows = Definitions(m_rowDefinitions);
    m_columnAuto.assign(columns.size(), 0.0f);
    m_rowAuto.assign(rows.size(), 0.0f);

    for (const auto& child : Children()) {
        if (!child->IsVisible())
            continue;
        const Placement p = PlacementOf(*child);
        const float width = AllPixel(columns, p.column, p.columnSpan)
                                ? SpanPixels(columns, p.column, p.columnSpan, m_columnSpacing)
                                : kInfinity;
        child->Measure(SizeF{width, kInfinity});
        if (p.columnSpan == 1)
            m_columnAuto[static_cast<std::size_t>(p.column)] = std::max(
                m_columnAuto[static_cast<std::size_t>(p.column)], child->DesiredSize().width);
    }
    for (const auto& child : Children()) {
        const Placement p = PlacementOf(*child);
        if (child->IsVisible() && p.columnSpan > 1)
            DistributeExcess(columns, m_columnAuto, p.column, p.columnSpan,
                             child->DesiredSize().width, m_columnSpacing);
    }
    m_columnSizes = ResolveGridLengths(columns, m_columnAuto, available.width, m_columnSpacing);

    for (const auto& child : Children()) {
        if (!child->IsVisible())
            continue;
        const Placement p = PlacementOf(*child);
        const float width = SpanSize(m_columnSizes, p.column, p.columnSpan, m_columnSpacing);
        const float height = AllPixel(rows, p.row, p.rowSpan)
                                 ? SpanPixels(rows, p.row, p.rowSpan, m_rowSpacing)
                                 : kInfinity;
        child->Measure(SizeF{width, height});
        if (p.rowSpan == 1)
            m_rowAuto[static_cast<std::size_t>(p.row)] =
                std::max(m_rowAuto[static_cast<std::size_t>(p.row)], child->DesiredSize().height);
    }
    for (const auto& child : Children()) {
        const Placement p = PlacementOf(*child);
        if (child->IsVisible() && p.rowSpan > 1)
            DistributeExcess(rows, m_rowAuto, p.row, p.rowSpan, child->DesiredSize().height,
                             m_rowSpacing);
    }
    m_rowSizes = ResolveGridLengths(rows, m_rowAuto, available.height, m_rowSpacing);

    return SizeF{Total(m_columnSizes, m_columnSpacing), Total(m_rowSizes, m_rowSpacing)};
}

void Grid::ArrangeOverride(SizeF finalSize) {
    const auto columns = Definitions(m_columnDefinitions);
    const auto rows = Definitions(m_rowDefinitions);
    // A grid arranged without a measure since its definitions changed has no
    // automatic sizes yet; they count as 0.
    m_columnAuto.resize(columns.size(), 0.0f);
    m_rowAuto.resize(rows.size(), 0.0f);
    m_columnSizes = ResolveGridLengths(columns, m_columnAuto, finalSize.width, m_columnSpacing);
    m_rowSizes = ResolveGridLengths(rows, m_rowAuto, finalSize.height, m_rowSpacing);

    std::vector<float> columnOffsets(columns.size(), 0.0f);
    for (std::size_t i = 1; i < columns.size(); ++i)
        columnOffsets[i] = columnOffsets[i - 1] + m_columnSizes[i - 1] + m_columnSpacing;
    std::vector<float> rowOffsets(rows.size(), 0.0f);
    for (std::size_t i = 1; i < rows.size(); ++i)
        rowOffsets[i] = rowOffsets[i - 1] + m_rowSizes[i - 1] + m_rowSpacing;

    for (const auto& child : Children()) {
        if (!child->IsVisible())
            continue;
        const Placement p = PlacementOf(*child);
        child->Arrange(RectF{columnOffsets[static_cast<std::size_t>(p.column)],
                             rowOffsets[static_cast<std::size_t>(p.row)],
                             SpanSize(m_columnSizes, p.column, p.columnSpan, m_columnSpacing),
                             SpanSize(m_rowSizes, p.row, p.rowSpan, m_rowSpacing)});
    }
}

} // namespace Velto::Widget
