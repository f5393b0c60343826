#pragma once

#include "widget/core/widget.h"

namespace Velto::Widget::Testing {

// A leaf with a fixed content size that counts its layout passes.
class Probe : public Widget {
public:
    explicit Probe(float width = 0, float height = 0) : m_content{width, height} {}

    void SetContent(SizeF content) {
        m_content = content;
        InvalidateMeasure();
    }
    int measures{0};
    int arranges{0};
    SizeF lastAvailable{-1, -1};

protected:
    SizeF MeasureOverride(SizeF available) override {
        ++measures;
        lastAvailable = available;
        return m_content;
    }
    void ArrangeOverride(SizeF) override { ++arranges; }

private:
    SizeF m_content;
};

inline void Layout(Widget& root, float width, float height) {
    root.Measure(SizeF{width, height});
    root.Arrange(RectF{0, 0, width, height});
}

} // namespace Velto::Widget::Testing
