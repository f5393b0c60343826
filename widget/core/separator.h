#pragma once

#include "widget/core/stack.h"
#include "widget/core/widget.h"

namespace Velto::Widget {

// A divider line across the space it is given.
class Separator : public Widget {
public:
    explicit Separator(Orientation orientation = Orientation::Horizontal)
        : m_orientation(orientation) {}

    void SetOrientation(Orientation orientation);
    std::string_view ClassName() const override { return "Separator"; }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;

private:
    Orientation m_orientation{Orientation::Horizontal};
};

} // namespace Velto::Widget
