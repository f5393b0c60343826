#pragma once

#include "widget/controls/button_base.h"

#include <functional>

namespace Velto::Widget {

// A box with a check mark and a text; three-state boxes also show a bar for
// the indeterminate state.
class CheckBox : public ButtonBase {
public:
    static constexpr char32_t kCheckGlyph = 0xE73E;
    static constexpr float kCheckGlyphSize = 12;
    static constexpr float kBarWidth = 8;
    static constexpr float kBarHeight = 2;
    static constexpr float kBarRadius = 1;
    static constexpr float kTextGap = 8;
    static constexpr float kVerticalPadding = 8;

    explicit CheckBox(std::u16string text = {}) : ButtonBase(std::move(text)) {}

    CheckState State() const { return m_state; }
    // No change callback.
    void SetState(CheckState state);
    void SetThreeState(bool threeState) { m_threeState = threeState; }
    bool IsThreeState() const { return m_threeState; }
    void SetOnChange(std::function<void(CheckState)> callback) { m_onChange = std::move(callback); }

    std::string_view ClassName() const override { return "CheckBox"; }

protected:
    void OnClicked() override;
    bool ClicksOnEnter() const override { return false; }
    ControlColors ComputeColors(const VisualState& state) const override;
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;
    // Around the box and its text, not the rest of a stretched row.
    RectF FocusBounds() override;

private:
    CheckState m_state{CheckState::Unchecked};
    bool m_threeState{false};
    std::function<void(CheckState)> m_onChange;
};

} // namespace Velto::Widget
