#include "widget/core/scroll_viewer.h"

#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

// Where a thumb of `length` sits along a track of `viewport` for an offset.
float ThumbPosition(float offset, float maxOffset, float viewport, float length) {
    return maxOffset > 0 ? offset / maxOffset * (viewport - length) : 0;
}

float ThumbLength(float viewport, float extent) {
    return std::min(viewport,
                    std::max(ScrollViewer::kMinThumbLength, viewport * viewport / extent));
}

} // namespace

Widget* ScrollViewer::SetContent(std::unique_ptr<Widget> content) {
    ClearChildren();
    m_offset = PointF{};
    return content ? AddChild(std::move(content)) : nullptr;
}

Widget* ScrollViewer::Content() const {
    return Children().empty() ? nullptr : Children().front().get();
}

void ScrollViewer::SetScrollModes(ScrollMode vertical, ScrollMode horizontal) {
    if (m_verticalMode == vertical && m_horizontalMode == horizontal)
        return;
    m_verticalMode = vertical;
    m_horizontalMode = horizontal;
    InvalidateMeasure();
}

PointF ScrollViewer::MaxOffset() const {
    return PointF{m_horizontalMode == ScrollMode::Scrollable
                      ? std::max(0.0f, m_extent.width - m_viewport.width)
                      : 0.0f,
                  m_verticalMode == ScrollMode::Scrollable
                      ? std::max(0.0f, m_extent.height - m_viewport.height)
                      : 0.0f};
}

bool ScrollViewer::HasVerticalBar() const {
    return m_verticalMode == ScrollMode::Scrollable &&
           m_extent.height - m_viewport.height > kBarSlack;
}

bool ScrollViewer::HasHorizontalBar() const {
    return m_horizontalMode == ScrollMode::Scrollable &&
           m_extent.width - m_viewport.width > kBarSlack;
}

RectF ScrollViewer::VerticalThumb() const {
    if (!HasVerticalBar())
        return RectF{};
    const float length = ThumbLength(m_viewport.height, m_extent.height);
    return RectF{m_viewport.width - kBarThickness,
                 ThumbPosition(m_offset.y, MaxOffset().y, m_viewport.height, length), kBarThickness,
                 length};
}

RectF ScrollViewer::HorizontalThumb() const {
    if (!HasHorizontalBar())
        return RectF{};
    const float length = ThumbLength(m_viewport.width, m_extent.width);
    return RectF{ThumbPosition(m_offset.x, MaxOffset().x, m_viewport.width, length),
                 m_viewport.height - kBarThickness, length, kBarThickness};
}

void ScrollViewer::ScrollTo(float x, float y) {
    const PointF max = MaxOffset();
    const PointF clamped{std::clamp(x, 0.0f, max.x), std::clamp(y, 0.0f, max.y)};
    if (clamped == m_offset)
        return;
    m_offset = clamped;
    ArrangeContent();
    RequestRedraw();
}

SizeF ScrollViewer::MeasureOverride(SizeF available) {
    Widget* content = Content();
    if (content == nullptr) {
        m_extent = SizeF{};
        return SizeF{};
    }
    content->Measure(SizeF{m_horizontalMode == ScrollMode::Disabled ? available.width : kInfinity,
                           m_verticalMode == ScrollMode::Disabled ? available.height : kInfinity});
    m_extent = content->DesiredSize();
    return SizeF{std::min(available.width, m_extent.width),
                 std::min(available.height, m_extent.height)};
}

void ScrollViewer::ArrangeOverride(SizeF finalSize) {
    m_viewport = finalSize;
    const PointF max = MaxOffset();
    m_offset = PointF{std::min(m_offset.x, max.x), std::min(m_offset.y, max.y)};
    ArrangeContent();
}

void ScrollViewer::ArrangeContent() {
    if (Widget* content = Content())
        content->Arrange(RectF{-m_offset.x, -m_offset.y, std::max(m_extent.width, m_viewport.width),
                               std::max(m_extent.height, m_viewport.height)});
}

void ScrollViewer::DrawChildren(Canvas& canvas) {
    canvas.PushClip(RectF{0, 0, m_viewport.width, m_viewport.height});
    Widget::DrawChildren(canvas);
    canvas.PopClip();
    const Theme& theme = GetTheme();
    const bool full = m_hover || m_drag != Drag::None;
    const float thickness = full ? kBarThickness : kRestingBarThickness;
    const float inset = kBarThickness - thickness; // resting lines hug the edge
    const float radius = thickness / 2;
    if (HasVerticalBar()) {
        const RectF thumb = VerticalThumb();
        canvas.FillRoundedRect(RectF{thumb.x + inset, thumb.y, thickness, thumb.height}, radius,
                               theme.controlStrongStroke);
    }
    if (HasHorizontalBar()) {
        const RectF thumb = HorizontalThumb();
        canvas.FillRoundedRect(RectF{thumb.x, thumb.y + inset, thumb.width, thickness}, radius,
                               theme.controlStrongStroke);
    }
}

PointF ScrollViewer::ToLocal(PointF windowPoint) const {
    const RectF bounds = BoundsInWindow();
    return PointF{windowPoint.x - bounds.x, windowPoint.y - bounds.y};
}

void ScrollViewer::SetHover(bool hover) {
    if (m_hover == hover)
        return;
    m_hover = hover;
    RequestRedraw();
}

bool ScrollViewer::OnWheel(const WheelEvent& event) {
    float dx = event.horizontal * kWheelStep;
    float dy = -event.vertical * kWheelStep;
    // Shift turns a purely vertical turn of the wheel sideways where the
    // content can scroll sideways.
    if ((event.modifiers & kModShift) != 0 && event.horizontal == 0 && HasHorizontalBar()) {
        dx = dy;
        dy = 0;
    }
    const PointF before = m_offset;
    ScrollTo(m_offset.x + dx, m_offset.y + dy);
    return m_offset != before;
}

bool ScrollViewer::OnPointerDown(const PointerEvent& event) {
    if (event.button != PointerButton::Left)
        return false;
    const PointF p = ToLocal(event.position);
    if (VerticalThumb().Contains(p)) {
        m_drag = Drag::VerticalThumb;
        m_dragStartPointer = p.y;
        m_dragStartOffset = m_offset.y;
    } else if (HorizontalThumb().Contains(p)) {
        m_drag = Drag::HorizontalThumb;
        m_dragStartPointer = p.x;
        m_dragStartOffset = m_offset.x;
    } else {
        return false;
    }
    if (GetHost() != nullptr)
        GetHost()->SetCapture(this);
    RequestRedraw();
    return true;
}

bool ScrollViewer::OnPointerMove(const PointerEvent& event) {
    const PointF p = ToLocal(event.position);
    if (m_drag == Drag::None) {
        SetHover((HasVerticalBar() && p.x >= m_viewport.width - kHoverReach) ||
                 (HasHorizontalBar() && p.y >= m_viewport.height - kHoverReach));
        return false;
    }
    // The thumb's travel maps linearly onto the offset range.
    const PointF max = MaxOffset();
    if (m_drag == Drag::VerticalThumb) {
        const float travel = m_viewport.height - VerticalThumb().height;
        const float delta = travel > 0 ? (p.y - m_dragStartPointer) * max.y / travel : 0;
        ScrollTo(m_offset.x, m_dragStartOffset + delta);
    } else {
        const float travel = m_viewport.width - HorizontalThumb().width;
        const float delta = travel > 0 ? (p.x - m_dragStartPointer) * max.x / travel : 0;
        ScrollTo(m_dragStartOffset + delta, m_offset.y);
    }
    return true;
}

bool ScrollViewer::OnPointerUp(const PointerEvent&) {
    if (m_drag == Drag::None)
        return false;
    m_drag = Drag::None;
    if (GetHost() != nullptr)
        GetHost()->SetCapture(nullptr);
    RequestRedraw();
    return true;
}

void ScrollViewer::OnPointerLeave() {
    if (m_drag == Drag::None)
        SetHover(false);
}

void ScrollViewer::OnCaptureLost() {
    m_drag = Drag::None;
    RequestRedraw();
}

void ScrollViewer::OnDescendantFocused(Widget& descendant) {
    BringIntoView(descendant);
}

void ScrollViewer::BringIntoView(const Widget& descendant) {
    const RectF mine = BoundsInWindow();
    const RectF target = descendant.BoundsInWindow();
    if (mine.IsEmpty() || target.IsEmpty())
        return;
    const float top = target.y - mine.y + m_offset.y;
    const float left = target.x - mine.x + m_offset.x;
    float y = m_offset.y;
    if (top < y)
        y = top;
    else if (top + target.height > y + m_viewport.height)
        y = std::min(top, top + target.height - m_viewport.height);
    float x = m_offset.x;
    if (left < x)
        x = left;
    else if (left + target.width > x + m_viewport.width)
        x = std::min(left, left + target.width - m_viewport.width);
    ScrollTo(x, y);
}

} // namespace Velto::Widget
