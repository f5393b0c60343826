#include "widget/controls/spin_button.h"

#include "widget/render/canvas.h"

namespace Velto::Widget::Controls {

SpinButton::SpinButton(char32_t glyph, std::function<void()> step)
    : m_glyph(glyph), m_step(std::move(step)) {}

SpinButton::~SpinButton() {
    StopRepeat();
}

void SpinButton::StopRepeat() {
    if (m_timer != 0 && GetHost() != nullptr)
        GetHost()->KillTimer(m_timer);
    m_timer = 0;
}

bool SpinButton::OnPointerDown(const PointerEvent& event) {
    if (event.button != PointerButton::Left)
        return false;
    if (!IsEnabled())
        return true;
    m_pressed = true;
    if (GetHost() != nullptr)
        GetHost()->SetCapture(this);
    RequestRedraw();
    m_step();
    StopRepeat();
    // The first repeat waits; then a repeating timer takes over.
    m_timer = StartTimer(
        kRepeatDelaySeconds,
        [this] {
            m_timer = StartTimer(
                kRepeatSeconds,
                [this] {
                    if (m_pressed)
                        m_step();
                },
                true);
            if (m_pressed)
                m_step();
        },
        false);
    return true;
}

bool SpinButton::OnPointerUp(const PointerEvent& event) {
    if (event.button != PointerButton::Left || !m_pressed)
        return false;
    m_pressed = false;
    StopRepeat();
    if (GetHost() != nullptr)
        GetHost()->SetCapture(nullptr);
    RequestRedraw();
    return true;
}

void SpinButton::OnCaptureLost() {
    m_pressed = false;
    StopRepeat();
    RequestRedraw();
}

void SpinButton::OnPointerEnter() {
    m_hovered = true;
    RequestRedraw();
}

void SpinButton::OnPointerLeave() {
    m_hovered = false;
    RequestRedraw();
}

void SpinButton::Draw(Canvas& canvas) {
    const Theme& theme = GetTheme();
    const RectF box{0, 0, ActualWidth(), ActualHeight()};
    if (IsEnabled() && (m_pressed || m_hovered))
        canvas.FillRoundedRect(box, theme.controlCornerRadius,
                               m_pressed ? theme.subtleFillPressed : theme.subtleFillHover);
    const Color ink = IsEnabled() ? theme.textSecondary : theme.textTertiary;
    canvas.DrawIconGlyph(m_glyph,
                         PointF{(box.width - kGlyphSize) / 2, (box.height - kGlyphSize) / 2},
                         kGlyphSize, ink);
}

} // namespace Velto::Widget::Controls
