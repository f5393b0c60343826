// Keyboard, pointer, type-ahead and rubber band of the list view.
#include "widget/list/list_view.h"

#include "widget/input/input_router.h"
#include "widget/input/key_codes.h"
#include "widget/list/system_timing.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Velto::Widget::List {
namespace {

constexpr double kMsPerSecond = 1000;
// The band scrolls by this share of the distance beyond the edge per tick,
// and at least this many DIPs.
constexpr float kBandScrollShare = 0.5f;
constexpr float kBandScrollMin = 4;

bool HasCtrl(std::uint32_t m) {
    return (m & kModCtrl) != 0;
}
bool HasShift(std::uint32_t m) {
    return (m & kModShift) != 0;
}

} // namespace

double ListView::NowMs() const {
    const auto* host = dynamic_cast<const InputRouter*>(GetHost());
    return host != nullptr ? host->Now() * kMsPerSecond : 0;
}

bool ListView::TypeAheadRunning() const {
    return m_typeAhead.IsRunning(NowMs());
}

PointF ListView::ToLocal(PointF windowPoint) const {
    const RectF bounds = BoundsInWindow();
    return PointF{windowPoint.x - bounds.x, windowPoint.y - bounds.y};
}

void ListView::Navigate(std::int64_t target, std::uint32_t modifiers) {
    if (RowCount() == 0)
        return;
    target = std::clamp<std::int64_t>(target, 0, RowCount() - 1);
    const bool ctrl = HasCtrl(modifiers);
    const bool shift = HasShift(modifiers);
    if (shift)
        m_selection.SelectRange(target, ctrl);
    else if (ctrl)
        m_selection.SetCurrent(target);
    else
        m_selection.SelectOnly(target);
    ScrollRowIntoView(target);
}

void ListView::SpaceSelect(std::uint32_t modifiers) {
    const std::int64_t current = m_selection.Current();
    if (current < 0)
        return;
    if (HasShift(modifiers))
        m_selection.SelectRange(current, HasCtrl(modifiers));
    else if (HasCtrl(modifiers))
        m_selection.Toggle(current);
    else
        m_selection.SelectOnly(current);
}

void ListView::ContextMenuAtCurrent() {
    if (!m_onContextMenu)
        return;
    const RectF area = RowsArea();
    const std::int64_t current = m_selection.Current();
    if (current < 0 || m_columns.empty()) {
        m_onContextMenu(-1, RectF{area.x, area.y, 0, 0});
        return;
    }
    ScrollRowIntoView(current, false);
    const float x = area.x + m_columnX.front() - static_cast<float>(HorizontalOffset());
    const float y = area.y + static_cast<float>(RowTop(current));
    m_onContextMenu(current, RectF{x, y, m_columns.front().width, kContextAnchorHeight});
}

void ListView::CancelDrags() {
    m_header->CancelDrag();
    StopBand();
}

bool ListView::OnKeyDown(const KeyEvent& event) {
    CancelRenameTimer();
    const std::uint32_t m = event.modifiers;
    const std::int64_t count = RowCount();
    const std::int64_t current = m_selection.Current();
    const std::int64_t visible = std::max<std::int64_t>(
        1, static_cast<std::int64_t>(std::floor(RowsArea().height / RowHeight())));
    switch (event.virtualKey) {
    case kKeyUp:
        if (count > 0)
            Navigate(current < 0 ? 0 : current - 1, m);
        return true;
    case kKeyDown:
        if (count > 0)
            Navigate(current < 0 ? 0 : current + 1, m);
        return true;
    case kKeyHome:
        Navigate(0, m);
        return true;
    case kKeyEnd:
        Navigate(count - 1, m);
        return true;
    case kKeyPageUp: {
        // The first row shown whole.
        std::int64_t first = FirstVisibleRow();
        if (RowTop(first) < -0.5)
            ++first;
        Navigate(current > first ? first : current - (visible - 1), m);
        return true;
    }
    case kKeyPageDown: {
        std::int64_t last = LastVisibleRow() - 1;
        if (last >= 0 && RowTop(last) + RowHeight() > RowsArea().height + 0.5)
            --last;
        Navigate(current < last ? last : current + (visible - 1), m);
        return true;
    }
    case kKeyLeft:
        SetHorizontalOffset(HorizontalOffset() - kHorizontalStep);
        return true;
    case kKeyRight:
        SetHorizontalOffset(HorizontalOffset() + kHorizontalStep);
        return true;
    case kKeySpace:
        // A running search takes the space as part of its text (OnChar).
        if (TypeAheadRunning())
            return false;
        SpaceSelect(m);
        return true;
    case kKeyEnter:
        if (event.repeat || current < 0 || !m_onRowActivated)
            return false;
        m_onRowActivated(current);
        return true;
    case kKeyEscape:
        if (m_header->IsDraggingColumn() || m_banding) {
            CancelDrags();
            return true;
        }
        return false;
    case kKeyApps:
        ContextMenuAtCurrent();
        return true;
    default:
        break;
    }
    if (event.virtualKey == KeyOf('A') && HasCtrl(m) && !HasShift(m)) {
        m_selection.SelectAll();
        return true;
    }
    if (event.virtualKey == KeyF(2) && (m & (kModCtrl | kModAlt | kModShift)) == 0) {
        if (current >= 0 && m_onRenameRequested)
            m_onRenameRequested(current);
        return true;
    }
    if (event.virtualKey == KeyF(10) && HasShift(m)) {
        ContextMenuAtCurrent();
        return true;
    }
    return false;
}

bool ListView::OnWheel(const WheelEvent& event) {
    float horizontal = event.horizontal;
    if (horizontal == 0 && HasShift(event.modifiers))
        horizontal = -event.vertical;
    if (horizontal == 0)
        return VirtualRowsView::OnWheel(event);
    const double before = HorizontalOffset();
    SetHorizontalOffset(before + static_cast<double>(horizontal) * kHorizontalStep);
    return HorizontalOffset() != before;
}

bool ListView::OnChar(const CharEvent& event) {
    if (event.typedWithAlt || HasCtrl(event.modifiers))
        return false;
    const char32_t c = event.character;
    if (!Models::TypeAhead::Accepts(c))
        return false;
    const double now = NowMs();
    // A space only continues a search; alone it selects (OnKeyDown).
    if (c == U' ' && !m_typeAhead.IsRunning(now))
        return true;
    m_typeAhead.Type(c, now);
    const std::int32_t column = m_searchColumn;
    const std::int64_t found =
        m_typeAhead.Find(RowCount(), m_selection.Current(),
                         [this, column](std::int64_t row) { return CellText(row, column); });
    if (found >= 0)
        SelectOnly(found);
    return true;
}

void ListView::CancelRenameTimer() {
    if (m_renameTimer != 0 && GetHost() != nullptr)
        GetHost()->KillTimer(m_renameTimer);
    m_renameTimer = 0;
    m_renameRow = -1;
}

void ListView::ApplyClickSelection(std::int64_t row, std::uint32_t m) {
    using Models::SelectionMode;
    const SelectionMode mode = m_selection.Mode();
    if (mode == SelectionMode::None) {
        m_selection.SetCurrent(row);
        return;
    }
    if (mode == SelectionMode::Single) {
        m_selection.SelectOnly(row);
        return;
    }
    const bool ctrl = HasCtrl(m);
    const bool shift = HasShift(m);
    if (shift) {
        m_selection.SelectRange(row, ctrl);
        return;
    }
    if (ctrl) {
        m_selection.Toggle(row);
        return;
    }
    if (m_selection.IsSelected(row) && m_selection.SelectedCount() > 1) {
        // Keeps the selection for a drag; the release selects only the row.
        m_pendingOnlyRow = row;
        m_selection.SetCurrent(row);
        return;
    }
    m_selection.SelectOnly(row);
}

bool ListView::OnPointerDown(const PointerEvent& event) {
    CancelRenameTimer();
    const PointF local = ToLocal(event.position);
    const RectF area = RowsArea();
    if (!area.Contains(local))
        return false;
    RequestFocus(false);
    const std::int64_t row = RowAt(local.y - area.y);
    if (event.button == PointerButton::Right) {
        if (row >= 0 && !m_selection.IsSelected(row))
            m_selection.SelectOnly(row);
        m_rightPressed = true;
        m_rightPressRow = row;
        return true;
    }
    if (event.button != PointerButton::Left)
        return false;
    if (event.clickCount >= 2 && row >= 0) {
        m_renameArmedRow = -1;
        if (m_onRowActivated)
            m_onRowActivated(row);
        return true;
    }
    if (GetHost() != nullptr)
        GetHost()->SetCapture(this);
    m_pressed = true;
    m_pendingOnlyRow = -1;
    m_renameArmedRow = -1;
    if (row < 0) {
        if ((event.modifiers & (kModShift | kModCtrl)) == 0)
            m_selection.ClearSelection();
        if (m_selection.Mode() == Models::SelectionMode::Extended)
            StartBand(local);
        return true;
    }
    const bool plain = (event.modifiers & (kModShift | kModCtrl)) == 0;
    if (plain && m_selection.SelectedCount() == 1 && m_selection.IsSelected(row) &&
        m_selection.Current() == row)
        m_renameArmedRow = row;
    ApplyClickSelection(row, event.modifiers);
    return true;
}

bool ListView::OnPointerMove(const PointerEvent& event) {
    const PointF local = ToLocal(event.position);
    const RectF area = RowsArea();
    if (m_banding) {
        m_bandPointer = local;
        UpdateBand();
        return true;
    }
    const std::int64_t row = area.Contains(local) ? RowAt(local.y - area.y) : -1;
    if (row != m_hoverRow) {
        m_hoverRow = row;
        RequestRedraw();
    }
    return m_pressed;
}

bool ListView::OnPointerUp(const PointerEvent& event) {
    const PointF local = ToLocal(event.position);
    const RectF area = RowsArea();
    if (event.button == PointerButton::Right) {
        if (!m_rightPressed)
            return false;
        m_rightPressed = false;
        if (m_onContextMenu)
            m_onContextMenu(m_rightPressRow, RectF{local.x, local.y, 0, 0});
        return true;
    }
    if (event.button != PointerButton::Left || !m_pressed)
        return false;
    m_pressed = false;
    // Released capture tells OnCaptureLost, which leaves a finished press alone.
    if (GetHost() != nullptr)
        GetHost()->SetCapture(nullptr);
    if (m_banding) {
        StopBand();
        return true;
    }
    const std::int64_t row = area.Contains(local) ? RowAt(local.y - area.y) : -1;
    if (m_pendingOnlyRow >= 0 && row == m_pendingOnlyRow)
        m_selection.SelectOnly(row);
    m_pendingOnlyRow = -1;
    if (m_renameArmedRow >= 0 && row == m_renameArmedRow && m_onRenameRequested) {
        m_renameRow = row;
        m_renameTimer = StartTimer(
            DoubleClickSeconds(),
            [this] {
                m_renameTimer = 0;
                const std::int64_t target = std::exchange(m_renameRow, -1);
                if (m_selection.SelectedCount() == 1 && m_selection.IsSelected(target) &&
                    m_onRenameRequested)
                    m_onRenameRequested(target);
            },
            false);
    }
    m_renameArmedRow = -1;
    return true;
}

void ListView::OnPointerLeave() {
    if (m_hoverRow >= 0) {
        m_hoverRow = -1;
        RequestRedraw();
    }
}

void ListView::OnCaptureLost() {
    if (!m_pressed)
        return;
    m_pressed = false;
    m_pendingOnlyRow = -1;
    StopBand();
}

void ListView::OnFocusChanged(bool focused) {
    m_focused = focused;
    if (!focused)
        m_typeAhead.Reset();
    RequestRedraw();
}

void ListView::StartBand(PointF local) {
    m_banding = true;
    m_bandStart = PointF{local.x + static_cast<float>(HorizontalOffset()),
                         static_cast<float>(local.y - RowsArea().y + ScrollOffset())};
    m_bandPointer = local;
    m_bandBase = m_selection.Ranges();
    m_bandTimer = StartTimer(
        kBandScrollSeconds, [this] { BandScrollTick(); }, true);
    RequestRedraw();
}

void ListView::UpdateBand() {
    const RectF area = RowsArea();
    // Both ends of the band in content coordinates.
    const double from = m_bandStart.y;
    const double to = m_bandPointer.y - area.y + ScrollOffset();
    const double top = std::min(from, to) - TopPadding();
    const double bottom = std::max(from, to) - TopPadding();
    const auto first = static_cast<std::int64_t>(std::floor(std::max(0.0, top) / RowHeight()));
    const auto last = static_cast<std::int64_t>(std::floor(std::max(0.0, bottom) / RowHeight()));
    Models::RowRange rows{first, std::min(last + 1, RowCount())};
    if (bottom < 0)
        rows = Models::RowRange{};
    // Ctrl keeps what was selected before the band.
    m_selection.SelectBand(rows, &m_bandBase);
    RequestRedraw();
}

void ListView::BandScrollTick() {
    if (!m_banding)
        return;
    const RectF area = RowsArea();
    float beyond = 0;
    if (m_bandPointer.y < area.y)
        beyond = m_bandPointer.y - area.y;
    else if (m_bandPointer.y > area.Bottom())
        beyond = m_bandPointer.y - area.Bottom();
    if (beyond == 0)
        return;
    const float step = std::max(kBandScrollMin, std::fabs(beyond) * kBandScrollShare);
    ScrollToOffset(ScrollOffset() + (beyond < 0 ? -step : step));
    UpdateBand();
}

void ListView::StopBand() {
    if (!m_banding)
        return;
    m_banding = false;
    m_bandBase.clear();
    if (m_bandTimer != 0 && GetHost() != nullptr)
        GetHost()->KillTimer(m_bandTimer);
    m_bandTimer = 0;
    RequestRedraw();
}

} // namespace Velto::Widget::List
