#include "widget/controls/button_base.h"

#include "widget/input/key_codes.h"
#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

constexpr float kUnderlineThickness = 1;
constexpr float kFocusInnerGap = 1;
constexpr float kFocusInnerWidth = 1;

// The root of the widget's tree.
Widget& RootOf(Widget& widget) {
    Widget* w = &widget;
    while (w->Parent() != nullptr)
        w = w->Parent();
    return *w;
}

template <typename Visit> void ForEachWidget(Widget& widget, const Visit& visit) {
    visit(widget);
    for (const auto& child : widget.Children())
        ForEachWidget(*child, visit);
}

} // namespace

ButtonBase::ButtonBase(std::u16string text)
    : m_text(std::move(text)), m_parsed(ParseAccessText(m_text)) {}

ButtonBase::~ButtonBase() = default;

void ButtonBase::SetText(std::u16string text) {
    if (text == m_text)
        return;
    m_text = std::move(text);
    m_parsed = ParseAccessText(m_text);
    m_layout.reset();
    InvalidateMeasure();
}

void ButtonBase::SetIcon(char32_t glyph, float size) {
    m_icon = glyph;
    m_iconSize = size;
    InvalidateMeasure();
}

void ButtonBase::SetStyle(ButtonStyle style) {
    if (style == m_style)
        return;
    m_style = style;
    UpdateColors();
}

void ButtonBase::SetDropDown(bool dropDown, char32_t glyph) {
    m_dropDownGlyph = dropDown ? glyph : 0;
    InvalidateMeasure();
}

void ButtonBase::SetDefault(bool isDefault) {
    if (isDefault == m_default)
        return;
    if (isDefault) {
        ForEachWidget(RootOf(*this), [this](Widget& w) {
            auto* button = dynamic_cast<ButtonBase*>(&w);
            if (button != nullptr && button != this && button->m_default) {
                button->m_default = false;
                button->UpdateColors();
            }
        });
    }
    m_default = isDefault;
    UpdateColors();
}

float ButtonBase::IconSize() const {
    if (m_icon == 0)
        return 0;
    return m_iconSize > 0 ? m_iconSize : GetTheme().iconSize;
}

VisualState ButtonBase::CurrentState() const {
    VisualState state;
    state.hovered = m_hovered;
    state.pressed = IsPressed();
    state.enabled = IsEnabled();
    state.checked = IsCheckedLook();
    state.isDefault = m_default;
    return state;
}

ControlColors ButtonBase::ComputeColors(const VisualState& state) const {
    return ButtonColors(GetTheme(), m_style, state);
}

ControlColors ButtonBase::CurrentColors() const {
    if (!m_colorsApplied)
        return TargetColors();
    return ControlColors{m_fill.Current(), m_outline.Current(), m_foreground.Current()};
}

ControlColors ButtonBase::ColorsForDraw() {
    // Nothing animates before the control's first frame: a control set up
    // (checked, then disabled) before it shows starts in its final look.
    if (!m_colorsDrawn)
        UpdateColors(false);
    // Enabling and disabling reach the control without a notification of
    // its own; the next frame notices the new target.
    else if (TargetColors() != m_target)
        UpdateColors();
    m_colorsDrawn = true;
    return CurrentColors();
}

void ButtonBase::UpdateColors(bool animate) {
    const ControlColors target = TargetColors();
    m_target = target;
    if (!m_colorsApplied || !m_colorsDrawn || !animate) {
        m_colorsApplied = true;
        m_fill.Set(target.fill);
        m_outline.Set(target.outline);
        m_foreground.Set(target.foreground);
        RequestRedraw();
        return;
    }
    const double seconds = GetTheme().transitionSeconds;
    m_fill.TransitionTo(target.fill, seconds);
    m_outline.TransitionTo(target.outline, seconds);
    m_foreground.TransitionTo(target.foreground, seconds);
}

void ButtonBase::OnThemeChanged() {
    m_layout.reset();
    UpdateColors(false);
}

void ButtonBase::Click() {
    if (!IsEnabled())
        return;
    OnClicked();
}

void ButtonBase::OnClicked() {
    RunClickCallback();
}

void ButtonBase::RunClickCallback() {
    if (m_onClick)
        m_onClick();
}

bool ButtonBase::Invoke() {
    if (!IsEnabled())
        return false;
    Click();
    return true;
}

void ButtonBase::OnAccessKey() {
    if (!IsEnabled())
        return;
    RequestFocus(true);
    Click();
}

PointF ButtonBase::ToLocal(PointF windowPoint) const {
    const RectF bounds = BoundsInWindow();
    return PointF{windowPoint.x - bounds.x, windowPoint.y - bounds.y};
}

bool ButtonBase::OnPointerDown(const PointerEvent& event) {
    if (event.button != PointerButton::Left)
        return false;
    if (!IsEnabled())
        return true;
    RequestFocus(false);
    m_pointerDown = true;
    m_pointerPressed = true;
    if (GetHost() != nullptr)
        GetHost()->SetCapture(this);
    UpdateColors();
    return true;
}

bool ButtonBase::OnPointerMove(const PointerEvent& event) {
    if (!m_pointerDown)
        return false;
    const PointF p = ToLocal(event.position);
    const bool inside = p.x >= 0 && p.y >= 0 && p.x < ActualWidth() && p.y < ActualHeight();
    if (inside != m_pointerPressed) {
        m_pointerPressed = inside;
        UpdateColors();
    }
    return true;
}

bool ButtonBase::OnPointerUp(const PointerEvent& event) {
    if (event.button != PointerButton::Left || !m_pointerDown)
        return false;
    const PointF p = ToLocal(event.position);
    const bool inside = p.x >= 0 && p.y >= 0 && p.x < ActualWidth() && p.y < ActualHeight();
    m_pointerDown = false;
    m_pointerPressed = false;
    if (GetHost() != nullptr)
        GetHost()->SetCapture(nullptr);
    UpdateColors();
    if (inside)
        Click();
    return true;
}

void ButtonBase::OnCaptureLost() {
    if (!m_pointerDown)
        return;
    m_pointerDown = false;
    m_pointerPressed = false;
    UpdateColors();
}

void ButtonBase::OnPointerEnter() {
    m_hovered = true;
    UpdateColors();
}

void ButtonBase::OnPointerLeave() {
    m_hovered = false;
    UpdateColors();
}

bool ButtonBase::OnKeyDown(const KeyEvent& event) {
    if (!IsEnabled() || (event.modifiers & (kModCtrl | kModAlt)) != 0)
        return false;
    if (event.virtualKey == kKeySpace) {
        if (!event.repeat && !m_spacePressed) {
            m_spacePressed = true;
            UpdateColors();
        }
        return true;
    }
    if (event.virtualKey == kKeyEnter && ClicksOnEnter()) {
        if (!event.repeat)
            Click();
        return true;
    }
    return false;
}

bool ButtonBase::OnKeyUp(const KeyEvent& event) {
    if (event.virtualKey != kKeySpace || !m_spacePressed)
        return false;
    m_spacePressed = false;
    UpdateColors();
    Click();
    return true;
}

void ButtonBase::OnFocusChanged(bool focused) {
    if (!focused && m_spacePressed) {
        m_spacePressed = false;
        UpdateColors();
    }
}

SizeF ButtonBase::MeasureGlyphAndText(SizeF available, float glyphWidth, float textGap,
                                      float verticalPadding) {
    const float maxText = std::isinf(available.width)
                              ? TextLayout::kUnbounded
                              : std::max(0.0f, available.width - glyphWidth - textGap);
    const TextLayout* layout = TextLayoutFor(maxText);
    const SizeF text = layout != nullptr ? layout->Size() : SizeF{};
    const float width = glyphWidth + (layout != nullptr ? text.width + textGap : 0);
    return SizeF{width, std::max(text.height + verticalPadding, GetTheme().controlHeight)};
}

const TextLayout* ButtonBase::TextLayoutFor(float maxWidth) {
    if (m_parsed.shown.empty())
        return nullptr;
    if (m_layout && (m_layout->MaxWidth() == maxWidth ||
                     (m_layout->Size().width <= maxWidth && std::isinf(m_layout->MaxWidth()))))
        return m_layout.get();
    TextFormat format;
    format.size = GetTheme().bodySize;
    format.weight = kWeightRegular;
    TextOptions options;
    options.trimming = TextTrimming::CharacterEllipsis;
    // Unbounded first: most texts fit, and that layout serves every width.
    auto natural = std::make_unique<TextLayout>(m_parsed.shown, format, options);
    if (natural->Size().width <= maxWidth)
        m_layout = std::move(natural);
    else
        m_layout = std::make_unique<TextLayout>(m_parsed.shown, format, options, maxWidth);
    return m_layout.get();
}

void ButtonBase::DrawText(Canvas& canvas, const TextLayout& layout, PointF origin,
                          Color color) const {
    canvas.DrawTextLayout(layout, origin, color);
    if (!m_parsed.underline || GetHost() == nullptr || !GetHost()->AccessKeyCuesShown())
        return;
    const std::size_t at = *m_parsed.underline;
    const RectF start = layout.CaretRect(at);
    const RectF end = layout.CaretRect(at + 1);
    const float y = origin.y + start.Bottom() - kUnderlineThickness * 2;
    canvas.FillRect(
        RectF{origin.x + start.x, y, std::max(1.0f, end.x - start.x), kUnderlineThickness}, color);
}

void ButtonBase::DrawFocusVisual(Canvas& canvas) {
    const Theme& theme = GetTheme();
    const float margin = theme.focusMargin;
    const float outer = theme.focusThickness;
    const float r = theme.controlCornerRadius;
    const RectF b = FocusBounds();
    // Strokes are centred: each ring is stroked along the middle of its band.
    const RectF outerRing{b.x - margin + outer / 2, b.y - margin + outer / 2,
                          b.width + 2 * margin - outer, b.height + 2 * margin - outer};
    canvas.StrokeRoundedRect(outerRing, r + margin - outer / 2, theme.focusStrokeOuter, outer);
    const RectF innerRing{b.x - kFocusInnerGap + kFocusInnerWidth / 2,
                          b.y - kFocusInnerGap + kFocusInnerWidth / 2,
                          b.width + 2 * kFocusInnerGap - kFocusInnerWidth,
                          b.height + 2 * kFocusInnerGap - kFocusInnerWidth};
    canvas.StrokeRoundedRect(innerRing, r + kFocusInnerGap - kFocusInnerWidth / 2,
                             theme.focusStrokeInner, kFocusInnerWidth);
}

} // namespace Velto::Widget
