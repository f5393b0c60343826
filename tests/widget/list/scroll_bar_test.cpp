// The overlay scroll bar: paging with its delayed repeat that stops at the
// pointer, thumb dragging, and fading out after the pointer left.
#include "widget/input/headless_host.h"
#include "widget/list/scroll_bar.h"

#include <gtest/gtest.h>

namespace Velto::Widget::List {
namespace {

struct BarFixture {
    ScrollBar bar{Orientation::Vertical};
    HeadlessHost host{bar, LightTheme(kDefaultAccent)};
    std::vector<double> values;
    BarFixture() {
        bar.SetRange(900, 100); // content 1000, viewport 100
        bar.SetSmallChange(10);
        bar.SetOnValueChanged([this](double v) { values.push_back(v); });
        host.Layout(SizeF{ScrollBar::kThickness, 424}); // a 400-DIP track
    }
    void Down(float y) { host.PointerDown(PointerEvent{PointF{6, y}, PointerButton::Left}); }
    void Up(float y) { host.PointerUp(PointerEvent{PointF{6, y}, PointerButton::Left}); }
};

TEST(ScrollBar, ArrowStepsAtOnceThenRepeatsFromTheSixthTick) {
    BarFixture f;
    f.Down(420); // the down arrow
    EXPECT_EQ(f.values, std::vector<double>{10});
    f.host.AdvanceTime(ScrollBar::kRepeatSeconds * 5 + 0.001); // five silent ticks
    EXPECT_EQ(f.values.size(), 1u);
    f.host.AdvanceTime(ScrollBar::kRepeatSeconds);
    EXPECT_EQ(f.values.size(), 2u);
    f.host.AdvanceTime(ScrollBar::kRepeatSeconds * 3);
    EXPECT_EQ(f.values.size(), 5u);
    f.Up(420);
    f.host.AdvanceTime(1);
    EXPECT_EQ(f.values.size(), 5u);
    EXPECT_DOUBLE_EQ(f.bar.Value(), 50);
}

TEST(ScrollBar, TrackPagingStopsWhenTheThumbReachesThePointer) {
    BarFixture f;
    // The thumb is 40 long (400 x 100 / 1000) at the top; press near the end.
    f.Down(300);
    EXPECT_DOUBLE_EQ(f.bar.Value(), 90); // a page: viewport less a small change
    f.host.AdvanceTime(5);
    const RectF thumb = f.bar.ThumbRect();
    EXPECT_LE(thumb.y, 300);
    EXPECT_GE(thumb.Bottom(), 300 - 40);
    EXPECT_LT(f.bar.Value(), 900);
    f.Up(300);
}

TEST(ScrollBar, ThumbDragMapsThePointerOntoTheRange) {
    BarFixture f;
    const RectF thumb = f.bar.ThumbRect();
    const float grab = thumb.y + thumb.height / 2;
    f.Down(grab);
    EXPECT_TRUE(f.bar.IsDragging());
    f.host.PointerMove(PointerEvent{PointF{6, grab + 180}}); // half the 360-DIP travel
    EXPECT_NEAR(f.bar.Value(), 450, 0.01);
    f.host.PointerMove(PointerEvent{PointF{6, grab + 1000}});
    EXPECT_DOUBLE_EQ(f.bar.Value(), 900);
    f.Up(grab + 1000);
    EXPECT_FALSE(f.bar.IsDragging());
}

TEST(ScrollBar, FadesOutASecondAfterThePointerLeft) {
    BarFixture f;
    auto canvas = f.host.Render(SizeF{ScrollBar::kThickness, 424});
    f.host.PointerMove(PointerEvent{PointF{6, 200}});
    EXPECT_FLOAT_EQ(f.bar.BarOpacity(), 1);
    f.host.PointerLeave();
    f.host.AdvanceTime(0.9);
    f.host.RenderFrame(*canvas, SizeF{ScrollBar::kThickness, 424});
    EXPECT_FLOAT_EQ(f.bar.BarOpacity(), 1);
    f.host.AdvanceTime(0.2); // the hide timer fires, the fade starts
    f.host.RenderFrame(*canvas, SizeF{ScrollBar::kThickness, 424});
    for (int i = 0; i < 40; ++i) {
        f.host.AdvanceTime(0.02);
        f.host.RenderFrame(*canvas, SizeF{ScrollBar::kThickness, 424});
    }
    EXPECT_FLOAT_EQ(f.bar.BarOpacity(), 0);
    EXPECT_FLOAT_EQ(f.bar.Expansion(), 0);
    // Nothing to scroll: nothing to hit or draw.
    f.bar.SetRange(0, 100);
    EXPECT_FALSE(f.bar.TakesHitsItself());
    EXPECT_TRUE(f.bar.ThumbRect().IsEmpty());
}

} // namespace
} // namespace Velto::Widget::List
