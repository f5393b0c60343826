#pragma once

#include "widget/controls/access_text.h"
#include "widget/controls/control_looks.h"
#include "widget/core/widget.h"
#include "widget/input/animator.h"
#include "widget/render/text_layout.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Velto::Widget {

// What buttons, check boxes and switches share: a text with an access key,
// an optional icon, the hover and pressed states, activation by pointer,
// Space, Enter (where the control takes it) and access key, and three
// colours that move to each state's colours with a short transition.
class ButtonBase : public Widget {
public:
    static constexpr float kContentGap = 8;
    static constexpr float kDropDownReserve = 18;
    static constexpr float kMinButtonSize = 32;
    static constexpr float kVerticalPadding = 10;

    explicit ButtonBase(std::u16string text = {});
    ~ButtonBase() override;

    const std::u16string& Text() const { return m_text; }
    const AccessText& ParsedText() const { return m_parsed; }
    void SetText(std::u16string text);
    // A glyph of the icon font (0 none); size 0 means the theme's icon size.
    void SetIcon(char32_t glyph, float size = 0);
    char32_t IconGlyph() const { return m_icon; }
    void SetStyle(ButtonStyle style);
    ButtonStyle Style() const { return m_style; }
    // The chevron after the text (U+E70D in this program; 0 none).
    void SetDropDown(bool dropDown, char32_t glyph = 0xE70D);
    bool HasDropDown() const { return m_dropDownGlyph != 0; }
    // The window's default button; setting it takes the flag from the
    // button that had it in the same tree.
    void SetDefault(bool isDefault);
    bool IsDefault() const { return m_default; }
    void SetDialogResult(std::int32_t result) { m_dialogResult = result; }
    std::int32_t DialogResult() const { return m_dialogResult; }
    void SetOnClick(std::function<void()> callback) { m_onClick = std::move(callback); }

    // Activates the control as a click would; nothing while disabled.
    void Click();

    bool IsHovered() const { return m_hovered; }
    bool IsPressed() const { return m_pointerPressed || m_spacePressed; }
    // The colours shown now.
    ControlColors CurrentColors() const;
    // The colours to draw with; the first call takes the state's colours.
    ControlColors ColorsForDraw();
    // The colours the control moves to.
    ControlColors TargetColors() const { return ComputeColors(CurrentState()); }

    bool CanFocus() const override { return true; }
    bool TakesHitsItself() const override { return HitSelfFlag(); }
    char32_t AccessKey() const override { return m_parsed.accessKey; }
    bool Invoke() override;
    void OnAccessKey() override;
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;
    bool OnPointerMove(const PointerEvent& event) override;
    void OnPointerEnter() override;
    void OnPointerLeave() override;
    void OnCaptureLost() override;
    bool OnKeyDown(const KeyEvent& event) override;
    bool OnKeyUp(const KeyEvent& event) override;
    void OnFocusChanged(bool focused) override;
    void DrawFocusVisual(Canvas& canvas) override;
    void OnThemeChanged() override;
    void DropTextLayouts() override { m_layout.reset(); }

protected:
    // The part the focus ring goes around (the whole control by default).
    virtual RectF FocusBounds() { return RectF{0, 0, ActualWidth(), ActualHeight()}; }
    // What a click does (after the checks of Click).
    virtual void OnClicked();
    // Enter clicks buttons at once; check boxes and switches ignore it.
    virtual bool ClicksOnEnter() const { return true; }
    virtual ControlColors ComputeColors(const VisualState& state) const;
    virtual bool IsCheckedLook() const { return false; }
    VisualState CurrentState() const;
    // Moves the colours to the current state's (at once for a theme change
    // and the first evaluation).
    void UpdateColors(bool animate = true);
    void RunClickCallback();

    // The text laid out at bodySize for a maximum width.
    const TextLayout* TextLayoutFor(float maxWidth);
    const TextLayout* CurrentLayout() const { return m_layout.get(); }
    // The size of a glyph (box, track) followed by the text after a gap, no
    // lower than a control's height: check boxes and switches.
    SizeF MeasureGlyphAndText(SizeF available, float glyphWidth, float textGap,
                              float verticalPadding);
    // Draws the text with its access key underlined while cues show.
    void DrawText(Canvas& canvas, const TextLayout& layout, PointF origin, Color color) const;
    float IconSize() const;
    char32_t DropDownGlyph() const { return m_dropDownGlyph; }

private:
    PointF ToLocal(PointF windowPoint) const;

    std::u16string m_text;
    AccessText m_parsed;
    char32_t m_icon{0};
    float m_iconSize{0};
    ButtonStyle m_style{ButtonStyle::Standard};
    char32_t m_dropDownGlyph{0};
    bool m_default{false};
    std::int32_t m_dialogResult{0};
    std::function<void()> m_onClick;
    std::unique_ptr<TextLayout> m_layout;
    bool m_hovered{false};
    bool m_pointerPressed{false}; // pressed by the pointer and still inside
    bool m_pointerDown{false};    // the primary button is held on us
    bool m_spacePressed{false};
    bool m_colorsApplied{false};
    bool m_colorsDrawn{false};
    ControlColors m_target; // what the colours last moved to
    AnimatedColor m_fill{*this, kTransparent};
    AnimatedColor m_outline{*this, kTransparent};
    AnimatedColor m_foreground{*this, kTransparent};
};

} // namespace Velto::Widget
