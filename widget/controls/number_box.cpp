#include "widget/controls/number_box.h"

#include "widget/input/input_router.h"
#include "widget/input/key_codes.h"
#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget::Controls {

NumberBox::NumberBox() {
    m_text = Add(std::make_unique<TextBox>());
    m_up = Add(std::make_unique<SpinButton>(kUpGlyph, [this] { Step(m_smallStep); }));
    m_down = Add(std::make_unique<SpinButton>(kDownGlyph, [this] { Step(-m_smallStep); }));
    m_text->SetCharFilter([this](char32_t c) { return AcceptsNumberCharacter(c, m_format); });
    m_text->SetOnEnter([this] { Commit(); });
    m_text->SetOnFocusLost([this] { Commit(); });
    m_text->SetOnTextChanged([this] { CheckRange(); });
    ShowValue();
}

void NumberBox::SetRange(double minimum, double maximum) {
    m_format.minimum = minimum;
    m_format.maximum = maximum;
    SetValue(m_value, false);
}

void NumberBox::SetDecimals(int decimals) {
    m_format.decimals = std::max(0, decimals);
    ShowValue();
}

void NumberBox::SetSteps(double small, double large) {
    m_smallStep = small;
    m_largeStep = large;
}

void NumberBox::SetSuffix(std::u16string suffix) {
    m_format.suffix = std::move(suffix);
    m_suffixLayout.reset();
    InvalidateMeasure();
}

void NumberBox::SetValue(double value, bool notify) {
    if (!std::isfinite(value))
        value = m_value;
    value = ClampNumber(value, m_format);
    const bool changed = value != m_value;
    m_value = value;
    ShowValue();
    if (changed) {
        RaiseAccessibilityEvent(AccessibilityEvent::ValueChanged);
        if (notify && m_onValueChanged)
            m_onValueChanged(m_value);
    }
}

void NumberBox::ShowValue() {
    const std::u16string text = FormatNumber(m_value, m_format.decimals);
    if (m_text->GetText() != text)
        m_text->SetText(text);
    m_text->SetErrorText({});
}

void NumberBox::CheckRange() {
    const std::optional<double> typed = ParseNumberText(m_text->GetText(), m_format);
    const bool outside = typed && (*typed < m_format.minimum || *typed > m_format.maximum);
    m_text->SetErrorText(outside ? std::u16string(kOutOfRangeText) : std::u16string());
}

void NumberBox::Commit() {
    const std::optional<double> typed = ParseNumberText(m_text->GetText(), m_format);
    if (!typed) {
        ShowValue();
        return;
    }
    SetValue(*typed, true);
}

void NumberBox::Step(double delta) {
    if (m_text->IsReadOnly() || !IsEnabled())
        return;
    Commit();
    SetValue(m_value + delta, true);
}

bool NumberBox::OnKeyDown(const KeyEvent& event) {
    if ((event.modifiers & (kModCtrl | kModAlt)) != 0 || m_text->IsReadOnly())
        return false;
    switch (event.virtualKey) {
    case kKeyUp:
        Step(m_smallStep);
        return true;
    case kKeyDown:
        Step(-m_smallStep);
        return true;
    case kKeyPageUp:
        Step(m_largeStep);
        return true;
    case kKeyPageDown:
        Step(-m_largeStep);
        return true;
    default:
        return false;
    }
}

bool NumberBox::OnWheel(const WheelEvent& event) {
    if (event.vertical == 0 || m_text->IsReadOnly() || !IsEnabled() || !m_pointerOver ||
        !HasFocusWithin())
        return false;
    Step(event.vertical > 0 ? m_smallStep : -m_smallStep);
    return true;
}

bool NumberBox::HasFocusWithin() const {
    const auto* router = dynamic_cast<const InputRouter*>(GetHost());
    if (router == nullptr)
        return false;
    for (const Widget* w = router->Focused(); w != nullptr; w = w->Parent())
        if (w == this)
            return true;
    return false;
}

float NumberBox::SuffixWidth() {
    if (m_format.suffix.empty())
        return 0;
    if (!m_suffixLayout) {
        TextFormat format;
        format.size = GetTheme().bodySize;
        m_suffixLayout = std::make_unique<TextLayout>(m_format.suffix, format, TextOptions{});
    }
    return m_suffixLayout->Size().width + kSuffixGap;
}

SizeF NumberBox::MeasureOverride(SizeF available) {
    m_text->Measure(available);
    m_up->Measure(available);
    m_down->Measure(available);
    return m_text->DesiredSize();
}

void NumberBox::ArrangeOverride(SizeF size) {
    m_text->SetTrailingReserve(2 * kSpinWidth + SuffixWidth());
    m_text->Arrange(RectF{0, 0, size.width, size.height});
    const float height = std::max(0.0f, size.height - 2 * kSpinInset);
    const float right = size.width - kSpinInset;
    m_down->Arrange(RectF{right - kSpinWidth, kSpinInset, kSpinWidth, height});
    m_up->Arrange(RectF{right - 2 * kSpinWidth, kSpinInset, kSpinWidth, height});
}

void NumberBox::DrawChildren(Canvas& canvas) {
    Widget::DrawChildren(canvas);
    if (m_format.suffix.empty())
        return;
    SuffixWidth();
    const Theme& theme = GetTheme();
    const float x = m_up->X() - m_suffixLayout->Size().width - kSuffixGap / 2;
    const float y = (ActualHeight() - m_suffixLayout->Size().height) / 2;
    canvas.DrawTextLayout(*m_suffixLayout, PointF{x, std::round(y)},
                          IsEnabled() ? theme.textSecondary : theme.textTertiary);
}

} // namespace Velto::Widget::Controls
