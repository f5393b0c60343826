#pragma once

#include "widget/core/widget.h"

#include <cstdint>
#include <functional>

namespace Velto::Widget::Controls {

// One arrow of a number box: a press steps at once, and holding it steps
// again after a pause and then repeatedly until the release.
class SpinButton : public Widget {
public:
    static constexpr double kRepeatDelaySeconds = 0.45;
    static constexpr double kRepeatSeconds = 0.07;
    static constexpr float kGlyphSize = 10;

    SpinButton(char32_t glyph, std::function<void()> step);
    ~SpinButton() override;

    bool IsPressed() const { return m_pressed; }

    std::string_view ClassName() const override { return "SpinButton"; }
    bool TakesHitsItself() const override { return true; }
    bool OnPointerDown(const PointerEvent& event) override;
    bool OnPointerUp(const PointerEvent& event) override;
    void OnPointerEnter() override;
    void OnPointerLeave() override;
    void OnCaptureLost() override;

protected:
    void Draw(Canvas& canvas) override;

private:
    void StopRepeat();

    char32_t m_glyph;
    std::function<void()> m_step;
    bool m_pressed{false};
    bool m_hovered{false};
    std::uint64_t m_timer{0};
};

} // namespace Velto::Widget::Controls
