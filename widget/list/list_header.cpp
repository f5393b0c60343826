#include "widget/list/list_header.h"

#include "widget/list/list_view.h"
#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget::List {
namespace {

constexpr char32_t kGlyphAscending = 0xE70E;
constexpr char32_t kGlyphDescending = 0xE70D;
constexpr float kDividerTop = 0.28f;
constexpr float kDividerBottom = 0.72f;
constexpr float kHoverInsetX = 2;
constexpr float kHoverInsetTop = 3;
constexpr float kHoverShrinkX = 4;
constexpr float kHoverShrinkY = 6;
constexpr float kDropBarInset = 4; // the bar is 8 DIPs shorter than the header

} // namespace

SizeF ListHeader::MeasureOverride(SizeF available) {
    return SizeF{std::isinf(available.width) ? 0 : available.width, kHeight};
}

PointF ListHeader::ToLocal(PointF windowPoint) const {
    const RectF bounds = BoundsInWindow();
    return PointF{windowPoint.x - bounds.x, windowPoint.y - bounds.y};
}

float ListHeader::CellLeft(int column) const {
    return m_owner.ColumnX(column) - static_cast<float>(m_owner.HorizontalOffset());
}

ListHeader::Zone ListHeader::ZoneAt(PointF point) const {
    if (point.y < 0 || point.y >= ActualHeight())
        return {};
    const auto& columns = m_owner.Columns();
    // Edges first: a grip reaches a little into the next column.
    for (int i = static_cast<int>(columns.size()) - 1; i >= 0; --i) {
        const Column& column = columns[static_cast<std::size_t>(i)];
        if (!column.visible || !column.resizable)
            continue;
        const float edge = CellLeft(i) + column.width;
        if (std::fabs(point.x - edge) <= kGripReach)
            return Zone{ZoneKind::Edge, i};
    }
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const Column& column = columns[static_cast<std::size_t>(i)];
        if (!column.visible)
            continue;
        const float left = CellLeft(i);
        if (point.x >= left && point.x < left + column.width)
            return Zone{ZoneKind::Body, i};
    }
    return {};
}

CursorShape ListHeader::Cursor() const {
    if (m_drag == Drag::Resize || (m_drag == Drag::None && m_hoverEdge))
        return CursorShape::SizeWestEast;
    return CursorShape::Arrow;
}

void ListHeader::CancelDrag() {
    if (m_drag == Drag::None)
        return;
    if (m_drag == Drag::Resize)
        m_owner.SetColumnWidth(m_column, m_startWidth);
    m_drag = Drag::None;
    m_moving = false;
    m_column = -1;
    if (GetHost() != nullptr)
        GetHost()->SetCapture(nullptr);
    RequestRedraw();
}

bool ListHeader::OnPointerDown(const PointerEvent& event) {
    const PointF local = ToLocal(event.position);
    if (event.button == PointerButton::Right) {
        if (m_owner.m_onHeaderContextMenu) {
            const RectF bounds = BoundsInWindow();
            const RectF list = m_owner.BoundsInWindow();
            m_owner.m_onHeaderContextMenu(
                PointF{local.x + bounds.x - list.x, local.y + bounds.y - list.y});
        }
        return true;
    }
    if (event.button != PointerButton::Left)
        return false;
    const Zone zone = ZoneAt(local);
    if (zone.kind == ZoneKind::None)
        return true;
    const auto& columns = m_owner.Columns();
    if (zone.kind == ZoneKind::Edge && event.clickCount >= 2) {
        // Fit the widest visible cell text and the title.
        const Column& column = columns[static_cast<std::size_t>(zone.column)];
        TextFormat format;
        format.size = GetTheme().bodySize;
        float widest = TextLayout(column.title, format, TextOptions{}).Size().width;
        const std::int64_t last = m_owner.LastVisibleRow();
        for (std::int64_t row = m_owner.FirstVisibleRow(); row < last; ++row) {
            const std::u16string_view text = m_owner.CellText(row, column.id);
            if (!text.empty())
                widest = std::max(widest, TextLayout(text, format, TextOptions{}).Size().width);
        }
        m_owner.SetColumnWidth(zone.column, std::ceil(widest) + 2 * kTextInset);
        if (m_owner.m_onColumnsChanged)
            m_owner.m_onColumnsChanged();
        return true;
    }
    m_column = zone.column;
    m_pressX = local.x;
    m_pointerX = local.x;
    m_moving = false;
    m_startWidth = columns[static_cast<std::size_t>(zone.column)].width;
    m_drag = zone.kind == ZoneKind::Edge ? Drag::Resize : Drag::Move;
    if (GetHost() != nullptr)
        GetHost()->SetCapture(this);
    RequestRedraw();
    return true;
}

bool ListHeader::OnPointerMove(const PointerEvent& event) {
    const PointF local = ToLocal(event.position);
    m_pointerX = local.x;
    if (m_drag == Drag::Resize) {
        m_owner.SetColumnWidth(m_column, m_startWidth + (local.x - m_pressX));
        return true;
    }
    if (m_drag == Drag::Move) {
        if (!m_moving && std::fabs(local.x - m_pressX) > kDragThreshold &&
            m_owner.Columns().size() >= 2)
            m_moving = true;
        RequestRedraw();
        return true;
    }
    const Zone zone = ZoneAt(local);
    const bool edge = zone.kind == ZoneKind::Edge;
    const int column = zone.kind == ZoneKind::Body ? zone.column : -1;
    if (edge != m_hoverEdge || column != m_hoverColumn) {
        m_hoverEdge = edge;
        m_hoverColumn = column;
        RequestRedraw();
    }
    return false;
}

int ListHeader::DropIndexAt(float x) const {
    const auto& columns = m_owner.Columns();
    int index = 0;
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const Column& column = columns[static_cast<std::size_t>(i)];
        if (!column.visible)
            continue;
        if (x >= CellLeft(i) + column.width / 2)
            index = i + 1;
    }
    return index;
}

bool ListHeader::OnPointerUp(const PointerEvent& event) {
    if (event.button != PointerButton::Left || m_drag == Drag::None)
        return false;
    const Drag drag = m_drag;
    const int column = m_column;
    const bool moved = m_moving;
    m_drag = Drag::None;
    m_moving = false;
    m_column = -1;
    if (GetHost() != nullptr)
        GetHost()->SetCapture(nullptr);
    RequestRedraw();
    if (drag == Drag::Resize) {
        if (m_owner.m_onColumnsChanged)
            m_owner.m_onColumnsChanged();
        return true;
    }
    if (moved) {
        int to = DropIndexAt(ToLocal(event.position).x);
        if (to > column)
            --to;
        if (to != column) {
            m_owner.MoveColumn(column, to);
            if (m_owner.m_onColumnsChanged)
                m_owner.m_onColumnsChanged();
        }
        return true;
    }
    const Column& pressed = m_owner.Columns()[static_cast<std::size_t>(column)];
    if (!pressed.sortable || ZoneAt(ToLocal(event.position)).column != column)
        return true;
    SortState sort = m_owner.GetSortState();
    if (sort.column == pressed.id)
        sort.descending = !sort.descending;
    else
        sort = SortState{pressed.id, false};
    m_owner.SetSortState(sort);
    if (m_owner.m_onSortChanged)
        m_owner.m_onSortChanged(sort);
    return true;
}

void ListHeader::OnPointerLeave() {
    if (m_hoverColumn >= 0 || m_hoverEdge) {
        m_hoverColumn = -1;
        m_hoverEdge = false;
        RequestRedraw();
    }
}

void ListHeader::OnCaptureLost() {
    if (m_drag == Drag::Move) {
        m_drag = Drag::None;
        m_moving = false;
        m_column = -1;
        RequestRedraw();
    } else if (m_drag == Drag::Resize) {
        m_drag = Drag::None;
        m_column = -1;
    }
}

const TextLayout& ListHeader::TitleLayout(int column, float width) {
    const Column& c = m_owner.Columns()[static_cast<std::size_t>(column)];
    if (m_titles.size() != m_owner.Columns().size()) {
        m_titles.clear();
        m_titles.resize(m_owner.Columns().size());
    }
    Title& title = m_titles[static_cast<std::size_t>(column)];
    if (!title.layout || title.id != c.id || title.width != width) {
        TextFormat format;
        format.size = GetTheme().bodySize;
        TextOptions options;
        options.trimming = TextTrimming::CharacterEllipsis;
        title.layout = std::make_unique<TextLayout>(c.title, format, options, width);
        title.id = c.id;
        title.width = width;
    }
    return *title.layout;
}

void ListHeader::DrawCell(Canvas& canvas, int column, const RectF& cell, bool pressed) {
    const Theme& theme = GetTheme();
    const Column& c = m_owner.Columns()[static_cast<std::size_t>(column)];
    if (pressed || column == m_hoverColumn) {
        const RectF fill{cell.x + kHoverInsetX, cell.y + kHoverInsetTop, cell.width - kHoverShrinkX,
                         cell.height - kHoverShrinkY};
        canvas.FillRoundedRect(fill, theme.controlCornerRadius,
                               pressed ? theme.subtleFillPressed : theme.subtleFillHover);
    }
    const bool sorted = m_owner.GetSortState().column == c.id;
    const TextLayout& title = TitleLayout(column, std::max(0.0f, cell.width - 2 * kTextInset));
    canvas.PushClip(cell);
    canvas.DrawTextLayout(
        title, PointF{cell.x + kTextInset, cell.y + (cell.height - title.Size().height) / 2},
        sorted ? theme.textPrimary : theme.textSecondary);
    if (sorted) {
        const char32_t glyph =
            m_owner.GetSortState().descending ? kGlyphDescending : kGlyphAscending;
        const float boxX = cell.x + (cell.width - kSortBoxWidth) / 2;
        canvas.DrawIconGlyph(glyph,
                             PointF{boxX + (kSortBoxWidth - kSortGlyphSize) / 2,
                                    cell.y + (kSortBoxHeight - kSortGlyphSize) / 2},
                             kSortGlyphSize, theme.textSecondary);
    }
    canvas.PopClip();
    const float pixel = 1 / canvas.Scale();
    const float edge = cell.Right() - pixel;
    canvas.FillRect(RectF{edge, cell.y + cell.height * kDividerTop, pixel,
                          cell.height * (kDividerBottom - kDividerTop)},
                    theme.dividerStroke);
}

void ListHeader::Draw(Canvas& canvas) {
    const Theme& theme = GetTheme();
    const auto& columns = m_owner.Columns();
    const float height = ActualHeight();
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const Column& column = columns[static_cast<std::size_t>(i)];
        if (!column.visible)
            continue;
        const RectF cell{CellLeft(i), 0, column.width, height};
        if (!canvas.IsVisible(cell))
            continue;
        const bool dragged = m_drag == Drag::Move && i == m_column;
        if (dragged && m_moving) {
            canvas.PushOpacity(kDraggedOpacity);
            DrawCell(canvas, i, cell, false);
            canvas.PopOpacity();
        } else {
            DrawCell(canvas, i, cell, dragged);
        }
    }
    const float pixel = 1 / canvas.Scale();
    canvas.FillRect(RectF{0, height - pixel, ActualWidth(), pixel}, theme.dividerStroke);
    if (!(m_drag == Drag::Move && m_moving))
        return;
    // The copy that follows the pointer, and where the column would land.
    const Column& column = columns[static_cast<std::size_t>(m_column)];
    const RectF ghost{CellLeft(m_column) + (m_pointerX - m_pressX), 0, column.width, height};
    const Color back = theme.flyoutBackground.WithAlpha(theme.flyoutBackground.a * kGhostAlpha);
    canvas.FillRoundedRect(ghost, theme.controlCornerRadius, back);
    canvas.StrokeRoundedRect(ghost, theme.controlCornerRadius, theme.controlStroke,
                             canvas.Hairline());
    DrawCell(canvas, m_column, ghost, false);
    const int drop = DropIndexAt(m_pointerX);
    const float x = drop < static_cast<int>(columns.size())
                        ? CellLeft(drop)
                        : m_owner.ColumnsWidth() - static_cast<float>(m_owner.HorizontalOffset());
    canvas.FillRect(
        RectF{x - kDropBarWidth / 2, kDropBarInset, kDropBarWidth, height - 2 * kDropBarInset},
        theme.accent);
}

} // namespace Velto::Widget::List
