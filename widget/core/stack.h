#pragma once

#include "widget/core/widget.h"

namespace Velto::Widget {

enum class Orientation : std::int32_t { Horizontal = 0, Vertical = 1 };

// Children one after another, vertically (the default) or horizontally.
class Stack : public Widget {
public:
    explicit Stack(Orientation orientation = Orientation::Vertical, float spacing = 0)
        : m_orientation(orientation), m_spacing(spacing) {}

    Orientation GetOrientation() const { return m_orientation; }
    float Spacing() const { return m_spacing; }
    void SetOrientation(Orientation orientation);
    void SetSpacing(float spacing);

    std::string_view ClassName() const override { return "Stack"; }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void ArrangeOverride(SizeF finalSize) override;

private:
    Orientation m_orientation{Orientation::Vertical};
    float m_spacing{0};
};

} // namespace Velto::Widget
