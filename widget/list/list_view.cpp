// Columns, data, layout and drawing of the list view.
#include "widget/list/list_view.h"

#include "widget/input/input_router.h"
#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget::List {
namespace {

// Rows kept laid out beyond the visible ones, in pages, so that scrolling
// back a little finds its texts ready.
constexpr std::int64_t kCachePages = 1;
constexpr float kBandFillAlpha = 0.12f;

} // namespace

ListView::ListView() {
    m_header = Add(std::make_unique<ListHeader>(*this));
    m_horizontalBar = Add(std::make_unique<ScrollBar>(Orientation::Horizontal));
    m_horizontalBar->SetSmallChange(24);
    m_horizontalBar->SetOnValueChanged([this](double value) { SetHorizontalOffset(value); });
    m_selectionListener = m_selection.AddListener([this](const Models::SelectionChange& change) {
        RequestRedraw();
        RaiseAccessibilityEvent(AccessibilityEvent::SelectionChanged);
        if (m_onSelectionChanged)
            m_onSelectionChanged(change);
    });
}

ListView::~ListView() {
    m_selection.RemoveListener(m_selectionListener);
}

int ListView::AddColumn(Column column) {
    column.width =
        std::clamp(column.width, column.minWidth, std::max(column.minWidth, column.maxWidth));
    if (m_searchColumn < 0)
        m_searchColumn = column.id;
    m_columns.push_back(std::move(column));
    LayoutColumns();
    return static_cast<int>(m_columns.size()) - 1;
}

void ListView::LayoutColumns() {
    m_columnX.assign(m_columns.size(), 0);
    float x = 0;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        m_columnX[i] = x;
        if (m_columns[i].visible)
            x += m_columns[i].width;
    }
    m_columnsWidth = x;
    m_header->DropTextLayouts();
    DropRowCache();
    UpdateHorizontalBar();
    RequestRedraw();
}

void ListView::SetColumnWidth(int index, float width) {
    if (index < 0 || index >= static_cast<int>(m_columns.size()))
        return;
    Column& column = m_columns[static_cast<std::size_t>(index)];
    width = std::clamp(width, column.minWidth, std::max(column.minWidth, column.maxWidth));
    if (width == column.width)
        return;
    column.width = width;
    LayoutColumns();
}

void ListView::MoveColumn(int from, int to) {
    const int count = static_cast<int>(m_columns.size());
    if (from < 0 || from >= count || to < 0 || to >= count || from == to)
        return;
    Column moved = std::move(m_columns[static_cast<std::size_t>(from)]);
    m_columns.erase(m_columns.begin() + from);
    m_columns.insert(m_columns.begin() + to, std::move(moved));
    LayoutColumns();
}

void ListView::SetSource(const IListDataSource* source) {
    m_source = source;
    if (m_searchColumn < 0 && !m_columns.empty())
        m_searchColumn = m_columns.front().id;
    Reload();
}

void ListView::Reload() {
    m_header->CancelDrag();
    const std::int64_t count =
        m_source != nullptr ? std::max<std::int64_t>(0, m_source->RowCount()) : 0;
    SetRowCountValue(count);
    m_selection.SetRowCount(count);
    if (m_hoverRow >= count)
        m_hoverRow = -1;
    DropRowCache();
    RequestRedraw();
}

void ListView::SelectOnly(std::int64_t row) {
    if (row < 0 || row >= RowCount())
        return;
    m_selection.SelectOnly(row);
    ScrollRowIntoView(row);
}

void ListView::SetEmptyText(std::u16string text) {
    m_emptyText = std::move(text);
    m_emptyLayout.reset();
    RequestRedraw();
}

void ListView::SetHeaderVisible(bool visible) {
    if (visible == m_headerVisible)
        return;
    m_headerVisible = visible;
    m_header->SetVisible(visible);
    InvalidateMeasure();
}

void ListView::SetSortState(SortState state) {
    if (state == m_sort)
        return;
    m_sort = state;
    m_header->RequestRedraw();
}

void ListView::SetHorizontalOffset(double offset) {
    const double maximum = std::max(0.0, static_cast<double>(m_columnsWidth) - RowsArea().width);
    offset = std::clamp(offset, 0.0, maximum);
    if (offset == m_horizontalOffset)
        return;
    m_horizontalOffset = offset;
    m_horizontalBar->SetValue(offset);
    m_horizontalBar->Reveal();
    RequestRedraw();
}

void ListView::UpdateHorizontalBar() {
    const double width = RowsArea().width;
    const double maximum = std::max(0.0, static_cast<double>(m_columnsWidth) - width);
    m_horizontalBar->SetRange(maximum, width);
    if (m_horizontalOffset > maximum)
        m_horizontalOffset = maximum;
    m_horizontalBar->SetValue(m_horizontalOffset);
}

int ListView::FirstVisibleColumn() const {
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].visible)
            return static_cast<int>(i);
    return -1;
}

std::u16string_view ListView::CellText(std::int64_t row, std::int32_t id) const {
    if (m_source == nullptr || row < 0 || row >= RowCount())
        return {};
    return m_source->CellText(row, id);
}

void ListView::DropRowCache() {
    m_rowCache.clear();
}

void ListView::TrimRowCache() {
    const std::int64_t page = std::max<std::int64_t>(1, VisibleRowCount());
    const std::int64_t low = FirstVisibleRow() - page * kCachePages;
    const std::int64_t high = LastVisibleRow() + page * kCachePages;
    std::erase_if(m_rowCache, [low, high](const auto& entry) {
        return entry.first < low || entry.first >= high;
    });
}

void ListView::OnScrolled() {
    m_hoverRow = -1;
}

ListView::CachedRow& ListView::RowTexts(std::int64_t row) {
    auto [it, inserted] = m_rowCache.try_emplace(row);
    if (!inserted)
        return it->second;
    const Theme& theme = GetTheme();
    TextFormat format;
    format.size = theme.bodySize;
    format.weight = kWeightRegular;
    it->second.cells.resize(m_columns.size());
    if (m_source != nullptr)
        it->second.icon = m_source->GetRowExtra(row).icon;
    const int iconColumn = it->second.icon != 0 ? FirstVisibleColumn() : -1;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const Column& column = m_columns[i];
        if (!column.visible)
            continue;
        const std::u16string_view text = CellText(row, column.id);
        if (text.empty())
            continue;
        TextOptions options;
        options.alignment = column.alignment;
        options.trimming = TextTrimming::CharacterEllipsis;
        float width = std::max(0.0f, column.width - 2 * kCellInset);
        if (static_cast<int>(i) == iconColumn)
            width = std::max(0.0f, width - theme.iconSize - kIconGap);
        it->second.cells[i].layout = std::make_unique<TextLayout>(text, format, options, width);
    }
    return it->second;
}

void ListView::OnThemeChanged() {
    DropTextLayouts();
}

void ListView::DropTextLayouts() {
    DropRowCache();
    m_emptyLayout.reset();
    m_header->DropTextLayouts();
}

SizeF ListView::MeasureOverride(SizeF available) {
    for (const auto& child : Children())
        child->Measure(available);
    return SizeF{std::isinf(available.width) ? kDefaultWidth : available.width,
                 std::isinf(available.height) ? kDefaultHeight : available.height};
}

void ListView::ArrangeOverride(SizeF size) {
    const float headerHeight = m_headerVisible ? ListHeader::kHeight : 0;
    m_header->Arrange(RectF{0, 0, size.width, headerHeight});
    SetRowsArea(RectF{0, headerHeight, size.width, std::max(0.0f, size.height - headerHeight)});
    UpdateHorizontalBar();
    SetHorizontalOffset(m_horizontalOffset);
    const float bar = ScrollBar::kThickness;
    ScrollBar& vertical = VerticalBar();
    vertical.Arrange(
        RectF{size.width - bar, headerHeight, bar, std::max(0.0f, size.height - headerHeight)});
    const float shorten = vertical.IsScrollable() ? bar : 0;
    m_horizontalBar->Arrange(
        RectF{0, size.height - bar, std::max(0.0f, size.width - shorten), bar});
}

void ListView::DrawRows(Canvas& canvas) {
    const RectF area = RowsArea();
    const Theme& theme = GetTheme();
    if (RowCount() == 0) {
        if (m_emptyText.empty())
            return;
        if (!m_emptyLayout) {
            TextFormat format;
            format.size = theme.bodySize;
            TextOptions options;
            options.alignment = TextAlignment::Center;
            options.wrapping = TextWrapping::Wrap;
            m_emptyLayout = std::make_unique<TextLayout>(m_emptyText, format, options,
                                                         std::max(1.0f, area.width));
        }
        const SizeF size = m_emptyLayout->Size();
        canvas.DrawTextLayout(*m_emptyLayout,
                              PointF{area.x, area.y + (area.height - size.height) / 2},
                              theme.textSecondary);
        return;
    }
    VirtualRowsView::DrawRows(canvas);
    TrimRowCache();
    if (m_banding) {
        const float top = static_cast<float>(m_bandStart.y - ScrollOffset()) + area.y;
        const float left = static_cast<float>(m_bandStart.x - m_horizontalOffset);
        const RectF band{std::min(left, m_bandPointer.x), std::min(top, m_bandPointer.y),
                         std::fabs(m_bandPointer.x - left), std::fabs(m_bandPointer.y - top)};
        canvas.FillRect(band, theme.accent.WithAlpha(kBandFillAlpha));
        canvas.StrokeRect(band, theme.accent, canvas.Hairline());
    }
}

void ListView::DrawRow(Canvas& canvas, std::int64_t row, const RectF& band) {
    const Theme& theme = GetTheme();
    const float width = std::max(band.width, m_columnsWidth);
    const RectF rowBand{band.x - static_cast<float>(m_horizontalOffset), band.y, width,
                        band.height};
    const RectF box{rowBand.x + kRowInsetX, rowBand.y + kRowInsetY, rowBand.width - 2 * kRowInsetX,
                    rowBand.height - 2 * kRowInsetY};
    const bool selected = m_selection.IsSelected(row);
    const bool hovered = row == m_hoverRow;
    const float radius = theme.controlCornerRadius;
    Color textColor = IsEnabled() ? theme.textPrimary : theme.textTertiary;
    if (selected) {
        if (theme.highContrast) {
            canvas.FillRoundedRect(box, radius, theme.accent);
            textColor = theme.textOnAccent;
        } else {
            float alpha = theme.kind == ThemeKind::Dark ? kSelectedAlphaDark : kSelectedAlphaLight;
            if (hovered)
                alpha += kSelectedHoverBoost;
            canvas.FillRoundedRect(box, radius, theme.accent.WithAlpha(alpha));
            const RectF mark{box.x, rowBand.y + (rowBand.height - kMarkHeight) / 2, kMarkWidth,
                             kMarkHeight};
            canvas.FillRoundedRect(mark, kMarkRadius, theme.accent);
        }
    } else if (hovered) {
        canvas.FillRoundedRect(box, radius, theme.subtleFillHover);
    }

    CachedRow& texts = RowTexts(row);
    const int iconColumn = texts.icon != 0 ? FirstVisibleColumn() : -1;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const TextLayout* layout = texts.cells[i].layout.get();
        const bool withIcon = static_cast<int>(i) == iconColumn;
        if ((layout == nullptr && !withIcon) || !m_columns[i].visible)
            continue;
        const RectF cell{rowBand.x + m_columnX[i], rowBand.y, m_columns[i].width, rowBand.height};
        if (!canvas.IsVisible(cell))
            continue;
        canvas.PushClip(cell);
        float x = cell.x + kCellInset;
        if (withIcon) {
            const float size = theme.iconSize;
            canvas.DrawIconGlyph(texts.icon, PointF{x, cell.y + (cell.height - size) / 2}, size,
                                 textColor);
            x += size + kIconGap;
        }
        if (layout != nullptr) {
            const float y = cell.y + (cell.height - layout->Size().height) / 2;
            canvas.DrawTextLayout(*layout, PointF{x, y}, textColor);
        }
        canvas.PopClip();
    }

    const bool focusVisual = GetHost() != nullptr && GetHost()->FocusVisualShown();
    if (row == m_selection.Current() && m_focused && focusVisual) {
        const float outer = 2;
        const float inner = 1;
        const RectF outerBox{box.x + outer / 2, box.y + outer / 2, box.width - outer,
                             box.height - outer};
        canvas.StrokeRoundedRect(outerBox, radius, theme.focusStrokeOuter, outer);
        const RectF innerBox{box.x + outer + inner / 2, box.y + outer + inner / 2,
                             box.width - 2 * outer - inner, box.height - 2 * outer - inner};
        canvas.StrokeRoundedRect(innerBox, std::max(0.0f, radius - 1), theme.focusStrokeInner,
                                 inner);
    }
}

} // namespace Velto::Widget::List
