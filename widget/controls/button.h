#pragma once

#include "widget/controls/button_base.h"

#include <optional>
#include <string>
#include <vector>

namespace Velto::Widget {

// A push button: text and or icon, three styles, an optional drop-down
// chevron and a dialog result.
class Button : public ButtonBase {
public:
    static constexpr float kDropDownGlyphSize = 10;

    explicit Button(std::u16string text = {}, std::int32_t dialogResult = 0);

    // Texts the button switches to for a while (a "Copied" after "Copy"):
    // it is as wide as the widest of them and its own, so that it and its
    // neighbours keep their places.
    void SetAlternateTexts(std::vector<std::u16string> texts);

    std::string_view ClassName() const override { return "Button"; }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;
    void OnThemeChanged() override;

private:
    // The widest alternate text's width at the theme's size.
    float AlternateTextWidth();

    std::vector<std::u16string> m_alternateTexts;
    std::optional<float> m_alternateWidth;
};

} // namespace Velto::Widget
