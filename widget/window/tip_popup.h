#pragma once

#include "widget/window/popup.h"

#include <string>
#include <string_view>

namespace Velto::Widget {

class Label;

// The tooltip window: a wrapped text on the flyout background with the
// control outline. It never grabs the pointer.
class TipPopup final : public Popup {
public:
    explicit TipPopup(Window& owner);
    ~TipPopup() override;

    // Shows the text with its top-left corner at the screen point (moved to
    // stay inside the work area), wrapped at maxWidth DIPs.
    void ShowText(std::u16string_view text, int x, int y, float maxWidth);
    const std::u16string& Text() const { return m_text; }

    static constexpr float kPaddingX = 10;
    static constexpr float kPaddingY = 6;

protected:
    std::uint32_t ExtraCreateFlags() const override;

private:
    Window& m_owner;
    Label* m_label{nullptr};
    std::u16string m_text;
};

} // namespace Velto::Widget
