#include "widget/list/scroll_bar.h"

#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Velto::Widget::List {
namespace {

constexpr float kTrackInset = 1;
constexpr float kVisibleThreshold = 0.01f;
constexpr float kTrackFillAlpha = 0.92f;
constexpr float kThumbAlphaDragged = 1.0f;
constexpr float kThumbAlphaHovered = 0.9f;
constexpr float kThumbAlphaRest = 0.55f;
constexpr char32_t kGlyphUp = 0xE70E;
constexpr char32_t kGlyphDown = 0xE70D;
constexpr char32_t kGlyphLeft = 0xE76B;
constexpr char32_t kGlyphRight = 0xE76C;

} // namespace

ScrollBar::ScrollBar(Orientation orientation) : m_orientation(orientation) {}

ScrollBar::~ScrollBar() {
    StopRepeat();
    KillHideTimer();
}

void ScrollBar::SetRange(double maximum, double viewport) {
    maximum = std::max(0.0, maximum);
    viewport = std::max(0.0, viewport);
    if (maximum == m_maximum && viewport == m_viewport)
        return;
    m_maximum = maximum;
    m_viewport = viewport;
    m_value = std::clamp(m_value, 0.0, m_maximum);
    RequestRedraw();
}

void ScrollBar::SetValue(double value) {
    value = std::clamp(value, 0.0, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    RequestRedraw();
}

void ScrollBar::ChangeValue(double value) {
    value = std::clamp(value, 0.0, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    RequestRedraw();
    if (m_onValueChanged)
        m_onValueChanged(m_value);
}

SizeF ScrollBar::MeasureOverride(SizeF) {
    return m_orientation == Orientation::Vertical ? SizeF{kThickness, 0} : SizeF{0, kThickness};
}

float ScrollBar::Along(PointF p) const {
    return m_orientation == Orientation::Vertical ? p.y : p.x;
}

float ScrollBar::Length() const {
    return m_orientation == Orientation::Vertical ? ActualHeight() : ActualWidth();
}

float ScrollBar::TrackLength() const {
    return std::max(0.0f, Length() - 2 * kArrowLength);
}

float ScrollBar::ThumbLength() const {
    const double total = m_maximum + m_viewport;
    if (!(total > 0))
        return TrackLength();
    const float proportional = static_cast<float>(TrackLength() * m_viewport / total);
    return std::min(TrackLength(), std::max(kMinThumbLength, proportional));
}

float ScrollBar::ThumbStart() const {
    if (!(m_maximum > 0))
        return TrackStart();
    const float travel = TrackLength() - ThumbLength();
    return TrackStart() + static_cast<float>(travel * (m_value / m_maximum));
}

RectF ScrollBar::ThumbRect() const {
    if (!IsScrollable())
        return RectF{};
    const float thickness = kThinThumb + (kWideThumb - kThinThumb) * Expansion();
    const float across = m_orientation == Orientation::Vertical ? ActualWidth() : ActualHeight();
    // The thin thumb hugs the outer edge; the wide one is centred.
    const float offset =
        across - thickness - (across - kWideThumb) / 2 * Expansion() - 1.5f * (1 - Expansion());
    if (m_orientation == Orientation::Vertical)
        return RectF{offset, ThumbStart(), thickness, ThumbLength()};
    return RectF{ThumbStart(), offset, ThumbLength(), thickness};
}

ScrollBar::Part ScrollBar::PartAt(PointF point) const {
    if (!IsScrollable() || point.x < 0 || point.y < 0 || point.x >= ActualWidth() ||
        point.y >= ActualHeight())
        return Part::None;
    const float a = Along(point);
    if (a < kArrowLength)
        return Part::DecreaseArrow;
    if (a >= Length() - kArrowLength)
        return Part::IncreaseArrow;
    const float start = ThumbStart();
    if (a < start)
        return Part::DecreaseTrack;
    if (a < start + ThumbLength())
        return Part::Thumb;
    return Part::IncreaseTrack;
}

PointF ScrollBar::ToLocal(PointF windowPoint) const {
    const RectF bounds = BoundsInWindow();
    return PointF{windowPoint.x - bounds.x, windowPoint.y - bounds.y};
}

void ScrollBar::StepPart(Part part) {
    const double page = std::max(m_smallChange, m_viewport - m_smallChange);
    switch (part) {
    case Part::DecreaseArrow:
        ChangeValue(m_value - m_smallChange);
        break;
    case Part::IncreaseArrow:
        ChangeValue(m_value + m_smallChange);
        break;
    case Part::DecreaseTrack:
        ChangeValue(m_value - page);
        break;
    case Part::IncreaseTrack:
        ChangeValue(m_value + page);
        break;
    default:
        break;
    }
}

bool ScrollBar::OnPointerDown(const PointerEvent& event) {
    if (event.button != PointerButton::Left || !IsEnabled())
        return false;
    m_pointer = ToLocal(event.position);
    const Part part = PartAt(m_pointer);
    if (part == Part::None)
        return false;
    StopRepeat();
    m_part = part;
    if (GetHost() != nullptr)
        GetHost()->SetCapture(this);
    if (part == Part::Thumb) {
        m_dragStartPointer = Along(m_pointer);
        m_dragStartValue = m_value;
        RequestRedraw();
        return true;
    }
    StepPart(part);
    m_repeatTicks = 0;
    m_repeatTimer = StartTimer(
        kRepeatSeconds, [this] { RepeatTick(); }, true);
    return true;
}

void ScrollBar::RepeatTick() {
    if (++m_repeatTicks <= kRepeatDelayTicks)
        return;
    const bool track = m_part == Part::DecreaseTrack || m_part == Part::IncreaseTrack;
    // Paging stops once the thumb has reached the pointer.
    if (track && PartAt(m_pointer) != m_part)
        return;
    StepPart(m_part);
}

void ScrollBar::StopRepeat() {
    if (m_repeatTimer != 0 && GetHost() != nullptr)
        GetHost()->KillTimer(m_repeatTimer);
    m_repeatTimer = 0;
}

bool ScrollBar::OnPointerMove(const PointerEvent& event) {
    m_pointer = ToLocal(event.position);
    if (m_part != Part::Thumb)
        return m_part != Part::None;
    const float travel = TrackLength() - ThumbLength();
    if (travel > 0)
        ChangeValue(m_dragStartValue +
                    (Along(m_pointer) - m_dragStartPointer) / travel * m_maximum);
    return true;
}

bool ScrollBar::OnPointerUp(const PointerEvent& event) {
    if (m_part == Part::None || event.button != PointerButton::Left)
        return false;
    m_part = Part::None;
    StopRepeat();
    if (GetHost() != nullptr)
        GetHost()->SetCapture(nullptr);
    if (!m_hovered) {
        m_expansion.AnimateTo(0, kNarrowSeconds);
        ArmHide();
    }
    RequestRedraw();
    return true;
}

void ScrollBar::OnCaptureLost() {
    if (m_part == Part::None)
        return;
    m_part = Part::None;
    StopRepeat();
    ArmHide();
    RequestRedraw();
}

void ScrollBar::OnPointerEnter() {
    m_hovered = true;
    KillHideTimer();
    m_opacity.Set(1);
    m_expansion.AnimateTo(1, kWidenSeconds);
}

void ScrollBar::OnPointerLeave() {
    m_hovered = false;
    if (m_part == Part::None)
        m_expansion.AnimateTo(0, kNarrowSeconds);
    ArmHide();
}

void ScrollBar::Reveal() {
    if (!IsScrollable())
        return;
    m_opacity.Set(1);
    if (!m_hovered)
        ArmHide();
}

void ScrollBar::KillHideTimer() {
    if (m_hideTimer != 0 && GetHost() != nullptr)
        GetHost()->KillTimer(m_hideTimer);
    m_hideTimer = 0;
}

void ScrollBar::ArmHide() {
    KillHideTimer();
    m_hideTimer = StartTimer(
        kHideDelaySeconds,
        [this] {
            m_hideTimer = 0;
            if (m_hovered || m_part != Part::None)
                return;
            m_opacity.AnimateTo(0, kFadeSeconds, Easing::CubicOut);
        },
        false);
}

void ScrollBar::Draw(Canvas& canvas) {
    if (!IsScrollable())
        return;
    const Theme& theme = GetTheme();
    const float expansion = Expansion();
    const bool vertical = m_orientation == Orientation::Vertical;
    if (expansion > kVisibleThreshold) {
        const RectF track{kTrackInset, kTrackInset, ActualWidth() - 2 * kTrackInset,
                          ActualHeight() - 2 * kTrackInset};
        const Color fill = theme.flyoutBackground.WithAlpha(theme.flyoutBackground.a *
                                                            kTrackFillAlpha * expansion);
        canvas.FillRoundedRect(track, theme.controlCornerRadius, fill);
        const Color stroke = theme.controlStroke.WithAlpha(theme.controlStroke.a * expansion);
        canvas.StrokeRoundedRect(track, theme.controlCornerRadius, stroke, canvas.Hairline());
        const Color arrow = theme.textSecondary.WithAlpha(theme.textSecondary.a * expansion);
        const float across = vertical ? ActualWidth() : ActualHeight();
        const float inset = (kArrowLength - kArrowGlyphSize) / 2;
        const float acrossInset = (across - kArrowGlyphSize) / 2;
        if (vertical) {
            canvas.DrawIconGlyph(kGlyphUp, PointF{acrossInset, inset}, kArrowGlyphSize, arrow);
            canvas.DrawIconGlyph(kGlyphDown, PointF{acrossInset, Length() - kArrowLength + inset},
                                 kArrowGlyphSize, arrow);
        } else {
            canvas.DrawIconGlyph(kGlyphLeft, PointF{inset, acrossInset}, kArrowGlyphSize, arrow);
            canvas.DrawIconGlyph(kGlyphRight, PointF{Length() - kArrowLength + inset, acrossInset},
                                 kArrowGlyphSize, arrow);
        }
    }
    const float shown = std::max(expansion, BarOpacity());
    if (shown < kVisibleThreshold)
        return;
    const float state = IsDragging() ? kThumbAlphaDragged
                        : m_hovered  ? kThumbAlphaHovered
                                     : kThumbAlphaRest;
    const RectF thumb = ThumbRect();
    const Color color = theme.textSecondary.WithAlpha(theme.textSecondary.a * shown * state);
    canvas.FillRoundedRect(thumb, std::min(thumb.width, thumb.height) / 2, color);
}

} // namespace Velto::Widget::List
