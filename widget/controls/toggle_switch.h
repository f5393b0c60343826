#pragma once

#include "widget/controls/button_base.h"

#include <functional>

namespace Velto::Widget {

// An on/off switch: a pill-shaped track with a knob that slides to the on
// side, and a text after it.
class ToggleSwitch : public ButtonBase {
public:
    static constexpr float kTextGap = 12;
    static constexpr float kVerticalPadding = 8;
    static constexpr float kKnobInset = 10; // knob centre from the track's ends
    static constexpr float kKnobRadius = 5;

    explicit ToggleSwitch(std::u16string text = {});

    bool IsOn() const { return m_on; }
    // Moves the knob without calling back (the owner already knows).
    void SetOn(bool on);
    void SetOnChange(std::function<void(bool)> callback) { m_onChange = std::move(callback); }
    // 0 off, 1 on, in between while the knob slides.
    float KnobPosition() const { return m_knob.Value(); }
    float KnobRadius() const;

    std::string_view ClassName() const override { return "ToggleSwitch"; }
    void OnPointerEnter() override;
    void OnPointerLeave() override;
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;
    void OnCaptureLost() override;
    bool OnKeyDown(const KeyEvent& event) override;
    bool OnKeyUp(const KeyEvent& event) override;

protected:
    void OnClicked() override;
    bool ClicksOnEnter() const override { return false; }
    ControlColors ComputeColors(const VisualState& state) const override;
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;

private:
    void UpdateKnobGrowth();

    bool m_on{false};
    std::function<void(bool)> m_onChange;
    AnimatedValue m_knob{*this, 0};
    // 0 at rest, 1 under the pointer, 2 while pressed.
    AnimatedValue m_growth{*this, 0};
};

} // namespace Velto::Widget
