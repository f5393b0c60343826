#pragma once

#include "widget/controls/number_text.h"
#include "widget/controls/spin_button.h"
#include "widget/controls/text_box.h"
#include "widget/core/widget.h"

#include <functional>
#include <memory>
#include <string>

namespace Velto::Widget::Controls {

// A text box for a number in a range: typed text is committed on Enter,
// on losing focus and before every step; the arrow keys, Page Up and Down,
// the wheel and two spin buttons step the value.
class NumberBox : public Widget {
public:
    static constexpr float kSpinWidth = 24;
    static constexpr float kSpinInset = 4;
    static constexpr float kSuffixGap = 6;
    static constexpr char32_t kUpGlyph = 0xE70E;
    static constexpr char32_t kDownGlyph = 0xE70D;
    static constexpr std::u16string_view kOutOfRangeText = u"Value out of range";

    NumberBox();

    void SetRange(double minimum, double maximum);
    void SetDecimals(int decimals);
    void SetSteps(double small, double large);
    void SetSuffix(std::u16string suffix);
    // Clamps, formats and shows the value; `notify` calls back when it
    // changed.
    void SetValue(double value, bool notify = true);
    double GetValue() const { return m_value; }
    void SetOnValueChanged(std::function<void(double)> callback) {
        m_onValueChanged = std::move(callback);
    }
    // Reads the typed text: sets the value, or shows the value again when
    // no number could be read.
    void Commit();
    // Commits, then adds `delta` (clamped).
    void Step(double delta);

    TextBox& Inner() { return *m_text; }
    SpinButton& UpButton() { return *m_up; }
    SpinButton& DownButton() { return *m_down; }
    const NumberFormat& Format() const { return m_format; }

    std::string_view ClassName() const override { return "NumberBox"; }
    bool OnKeyDown(const KeyEvent& event) override;
    // The wheel steps the value only while the box has the keyboard focus
    // and the pointer was moved onto it; otherwise it scrolls the page, even
    // when the page brings the box under a resting pointer.
    bool OnWheel(const WheelEvent& event) override;
    void OnPointerEnter() override { m_pointerOver = true; }
    void OnPointerLeave() override { m_pointerOver = false; }
    void OnThemeChanged() override { m_suffixLayout.reset(); }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void ArrangeOverride(SizeF finalSize) override;
    void DrawChildren(Canvas& canvas) override;

private:
    void ShowValue();
    void CheckRange();
    float SuffixWidth();
    bool HasFocusWithin() const;

    NumberFormat m_format;
    double m_value{0};
    double m_smallStep{1};
    double m_largeStep{10};
    bool m_pointerOver{false};
    TextBox* m_text{nullptr};
    SpinButton* m_up{nullptr};
    SpinButton* m_down{nullptr};
    std::unique_ptr<TextLayout> m_suffixLayout;
    std::function<void(double)> m_onValueChanged;
};

} // namespace Velto::Widget::Controls
