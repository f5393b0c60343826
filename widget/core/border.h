#pragma once

#include "widget/core/widget.h"
#include "widget/render/color.h"

namespace Velto::Widget {

enum class BorderBackground : std::int32_t {
    None = 0,
    WindowBackground = 1,
    CardBackground = 2,
    FlyoutBackground = 3,
    Explicit = 4,
};

// 0 none, 1 the theme's dividerStroke, 2 its controlStroke, anything else the
// explicit outline colour.
enum class BorderOutline : std::int32_t { None = 0, Divider = 1, Control = 2, Explicit = 3 };

// A box with padding, an optional background and outline and rounded corners
// around its children.
class Border : public Widget {
public:
    const Thickness& Padding() const { return m_padding; }
    void SetPadding(const Thickness& padding);
    void SetBackground(BorderBackground kind, Color color = {});
    void SetOutline(BorderOutline kind, float thickness = 1, Color color = {});
    void SetCornerRadius(float radius);

    std::string_view ClassName() const override { return "Border"; }
    // A border with a background takes the hits on it.
    bool TakesHitsItself() const override { return m_background != BorderBackground::None; }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void ArrangeOverride(SizeF finalSize) override;
    void Draw(Canvas& canvas) override;

private:
    Thickness m_padding;
    BorderBackground m_background{BorderBackground::None};
    Color m_backgroundColor;
    BorderOutline m_outline{BorderOutline::None};
    float m_outlineThickness{1};
    Color m_outlineColor;
    float m_cornerRadius{0};
};

} // namespace Velto::Widget
