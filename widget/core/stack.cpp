#include "widget/core/stack.h"

#include <algorithm>

namespace Velto::Widget {

void Stack::SetOrientation(Orientation orientation) {
    if (m_orientation == orientation)
        return;
    m_orientation = orientation;
    InvalidateMeasure();
}

void Stack::SetSpacing(float spacing) {
    if (m_spacing == spacing)
        return;
    m_spacing = spacing;
    InvalidateMeasure();
}

SizeF Stack::MeasureOverride(SizeF available) {
    const bool vertical = m_orientation == Orientation::Vertical;
    const SizeF offered =
        vertical ? SizeF{available.width, kInfinity} : SizeF{kInfinity, available.height};
    float across = 0;
    float along = 0;
    int visible = 0;
    for (const auto& child : Children()) {
        if (!child->IsVisible())
            continue;
        child->Measure(offered);
        const SizeF desired = child->DesiredSize();
        across = std::max(across, vertical ? desired.width : desired.height);
        along += vertical ? desired.height : desired.width;
        ++visible;
    }
    if (visible > 1)
        along += static_cast<float>(visible - 1) * m_spacing;
    return vertical ? SizeF{across, along} : SizeF{along, across};
}

void Stack::ArrangeOverride(SizeF finalSize) {
    const bool vertical = m_orientation == Orientation::Vertical;
    float position = 0;
    for (const auto& child : Children()) {
        if (!child->IsVisible())
            continue;
        const SizeF desired = child->DesiredSize();
        if (vertical) {
            child->Arrange(RectF{0, position, finalSize.width, desired.height});
            position += desired.height + m_spacing;
        } else {
            child->Arrange(RectF{position, 0, desired.width, finalSize.height});
            position += desired.width + m_spacing;
        }
    }
}

} // namespace Velto::Widget
