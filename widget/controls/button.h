#pragma once

#include "widget/controls/button_base.h"

namespace Velto::Widget {

// A push button: text and or icon, three styles, an optional drop-down
// chevron and a dialog result.
class Button : public ButtonBase {
public:
    static constexpr float kDropDownGlyphSize = 10;

    explicit Button(std::u16string text = {}, std::int32_t dialogResult = 0);

    std::string_view ClassName() const override { return "Button"; }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;
};

} // namespace Velto::Widget
