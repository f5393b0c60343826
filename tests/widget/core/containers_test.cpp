#include "tests/widget/core/layout_probe.h"
#include "widget/core/border.h"
#include "widget/core/grid.h"
#include "widget/core/scroll_viewer.h"
#include "widget/core/separator.h"
#include "widget/core/stack.h"
#include "widget/input/headless_host.h"
#include "widget/render/theme.h"

#include <gtest/gtest.h>

#include <cmath>

#include <vector>

namespace Velto::Widget {
namespace {

using Testing::Layout;
using Testing::Probe;

WheelEvent Wheel(float horizontal, float vertical, std::uint32_t modifiers = 0) {
    WheelEvent e;
    e.horizontal = horizontal;
    e.vertical = vertical;
    e.modifiers = modifiers;
    return e;
}

PointerEvent Pointer(float x, float y, PointerButton button = PointerButton::None) {
    PointerEvent e;
    e.position = PointF{x, y};
    e.button = button;
    return e;
}

std::vector<float> Resolve(std::vector<GridLength> defs, std::vector<float> automatic,
                           float available, float spacing = 0) {
    return ResolveGridLengths(defs, automatic, available, spacing);
}

TEST(GridLengths, StarsShareByWeight) {
    EXPECT_EQ(Resolve({GridLength::Star(1), GridLength::Star(2)}, {0, 0}, 300),
              (std::vector<float>{100, 200}));
}

TEST(GridLengths, AClampedStarIsFixedAndTheOthersShareAgain) {
    GridLength first = GridLength::Star(1);
    first.max = 50;
    EXPECT_EQ(Resolve({first, GridLength::Star(2)}, {0, 0}, 300), (std::vector<float>{50, 250}));
    GridLength wide = GridLength::Star(1);
    wide.min = 200;
    EXPECT_EQ(Resolve({wide, GridLength::Star(1)}, {0, 0}, 300), (std::vector<float>{200, 100}));
}

TEST(GridLengths, FixedAndAutoComeFirstWithSpacing) {
    GridLength pixel = GridLength::Pixel(500);
    pixel.max = 40;
    EXPECT_EQ(Resolve({pixel, GridLength::Auto(), GridLength::Star()}, {0, 30, 0}, 200, 10),
              (std::vector<float>{40, 30, 110}));
}

TEST(GridLengths, NoRoomLeavesStarsEmpty) {
    EXPECT_EQ(Resolve({GridLength::Pixel(300), GridLength::Star()}, {0, 0}, 200),
              (std::vector<float>{300, 0}));
}

TEST(GridLengths, InfiniteSpaceGivesStarsTheirContent) {
    EXPECT_EQ(Resolve({GridLength::Star(1), GridLength::Star(2)}, {40, 30}, kInfinity),
              (std::vector<float>{40, 80}));
}

TEST(Grid, WithoutDefinitionsIsOneStarCell) {
    Grid grid;
    auto* a = grid.Add(std::make_unique<Probe>(30, 20));
    Layout(grid, 200, 100);
    EXPECT_EQ(grid.ColumnSizes(), (std::vector<float>{200}));
    EXPECT_EQ(a->ArrangedBox(), (RectF{0, 0, 200, 100}));
}

TEST(Grid, StarColumnMeasuredWithInfiniteWidthTakesItsChildrensWidth) {
    Grid grid;
    grid.AddColumn(GridLength::Star());
    grid.AddAt(std::make_unique<Probe>(70, 10), 0, 0);
    grid.Measure(SizeF{kInfinity, kInfinity});
    EXPECT_FLOAT_EQ(grid.DesiredSize().width, 70);
    EXPECT_FLOAT_EQ(grid.DesiredSize().height, 10);
}

TEST(Grid, PlacementsAreClampedIntoTheGrid) {
    Grid grid;
    grid.AddRow(GridLength::Pixel(20));
    grid.AddRow(GridLength::Pixel(30));
    auto* late = grid.AddAt(std::make_unique<Probe>(10, 10), 5, -3, 4, 0);
    Layout(grid, 100, 100);
    EXPECT_FLOAT_EQ(late->Y(), 20);
    EXPECT_FLOAT_EQ(late->ActualHeight(), 30);
    EXPECT_FLOAT_EQ(late->X(), 0);
}

TEST(Grid, MixedColumnsRowsSpacingAndSpans) {
    Grid grid;
    grid.AddColumn(GridLength::Pixel(50));
    grid.AddColumn(GridLength::Auto());
    grid.AddColumn(GridLength::Star());
    grid.AddRow(GridLength::Auto());
    grid.AddRow(GridLength::Star());
    grid.SetSpacing(4, 10);
    auto* fixed = grid.AddAt(std::make_unique<Probe>(20, 15), 0, 0);
    auto* automatic = grid.AddAt(std::make_unique<Probe>(35, 25), 0, 1);
    auto* star = grid.AddAt(std::make_unique<Probe>(10, 10), 1, 2);
    auto* spanning = grid.AddAt(std::make_unique<Probe>(10, 10), 1, 0, 1, 2);
    Layout(grid, 300, 200);
    EXPECT_EQ(grid.ColumnSizes(), (std::vector<float>{50, 35, 195}));
    EXPECT_EQ(grid.RowSizes(), (std::vector<float>{25, 171}));
    EXPECT_EQ(fixed->ArrangedBox(), (RectF{0, 0, 50, 25}));
    EXPECT_EQ(automatic->ArrangedBox(), (RectF{60, 0, 35, 25}));
    EXPECT_EQ(star->ArrangedBox(), (RectF{105, 29, 195, 171}));
    EXPECT_EQ(spanning->ArrangedBox(), (RectF{0, 29, 95, 171}));
    // The fixed column offered its child exactly its width.
    EXPECT_FLOAT_EQ(fixed->lastAvailable.width, 50);
}

TEST(Grid, SpanningChildWidensItsAutoColumns) {
    Grid grid;
    grid.AddColumn(GridLength::Pixel(20));
    grid.AddColumn(GridLength::Auto());
    grid.AddColumn(GridLength::Auto());
    grid.AddAt(std::make_unique<Probe>(100, 10), 0, 0, 1, 3);
    grid.Measure(SizeF{kInfinity, kInfinity});
    // What the automatic sizes lack (all of 100: a fixed column has none)
    // is spread over the two columns that are not fixed.
    EXPECT_EQ(grid.ColumnSizes(), (std::vector<float>{20, 50, 50}));
    EXPECT_FLOAT_EQ(grid.DesiredSize().width, 120);
}

TEST(Grid, CollapsedChildrenTakeNoSpace) {
    Grid grid;
    grid.AddColumn(GridLength::Auto());
    grid.AddColumn(GridLength::Auto());
    auto* hidden = grid.AddAt(std::make_unique<Probe>(80, 10), 0, 0);
    grid.AddAt(std::make_unique<Probe>(30, 10), 0, 1);
    hidden->SetVisible(false);
    Layout(grid, 300, 100);
    EXPECT_EQ(grid.ColumnSizes(), (std::vector<float>{0, 30}));
}

TEST(Grid, MarginsCountInTheChildsSize) {
    Grid grid;
    grid.AddColumn(GridLength::Auto());
    auto* child = grid.AddAt(std::make_unique<Probe>(30, 10), 0, 0);
    child->SetMargin(Thickness{5, 1, 5, 1});
    Layout(grid, 300, 100);
    EXPECT_EQ(grid.ColumnSizes(), (std::vector<float>{40}));
    EXPECT_FLOAT_EQ(child->X(), 5);
}

TEST(Grid, RemovedChildForgetsItsPlacement) {
    Grid grid;
    grid.AddColumn(GridLength::Auto());
    grid.AddColumn(GridLength::Auto());
    auto* child = grid.AddAt(std::make_unique<Probe>(30, 10), 0, 1);
    grid.RemoveChild(child);
    auto* next = grid.Add(std::make_unique<Probe>(10, 10));
    Layout(grid, 300, 100);
    EXPECT_FLOAT_EQ(next->X(), 0);
}

TEST(Stack, VerticalSumsHeightsWithSpacing) {
    Stack stack(Orientation::Vertical, 8);
    auto* a = stack.Add(std::make_unique<Probe>(40, 10));
    auto* b = stack.Add(std::make_unique<Probe>(60, 20));
    stack.Measure(SizeF{200, kInfinity});
    EXPECT_EQ(stack.DesiredSize(), (SizeF{60, 38}));
    stack.Arrange(RectF{0, 0, 200, 300});
    EXPECT_EQ(a->ArrangedBox(), (RectF{0, 0, 200, 10}));
    EXPECT_EQ(b->ArrangedBox(), (RectF{0, 18, 200, 20}));
    EXPECT_FLOAT_EQ(a->lastAvailable.width, 200);
    EXPECT_TRUE(std::isinf(a->lastAvailable.height));
}

TEST(Stack, HorizontalSwapsTheAxes) {
    Stack stack(Orientation::Horizontal, 4);
    stack.Add(std::make_unique<Probe>(40, 10));
    auto* b = stack.Add(std::make_unique<Probe>(60, 20));
    Layout(stack, 300, 50);
    EXPECT_EQ(stack.DesiredSize(), (SizeF{104, 20}));
    EXPECT_EQ(b->ArrangedBox(), (RectF{44, 0, 60, 50}));
}

TEST(Stack, HiddenChildTakesNoSpaceAndNoSpacing) {
    Stack stack(Orientation::Vertical, 10);
    stack.Add(std::make_unique<Probe>(10, 10));
    auto* hidden = stack.Add(std::make_unique<Probe>(10, 10));
    auto* last = stack.Add(std::make_unique<Probe>(10, 10));
    hidden->SetVisible(false);
    Layout(stack, 100, 100);
    EXPECT_FLOAT_EQ(stack.DesiredSize().height, 30);
    EXPECT_FLOAT_EQ(last->Y(), 20);
}

TEST(Border, PaddingSurroundsTheLargestChild) {
    Border border;
    border.SetPadding(Thickness{1, 2, 3, 4});
    border.Add(std::make_unique<Probe>(10, 30));
    auto* wide = border.Add(std::make_unique<Probe>(20, 5));
    wide->SetHorizontalAlignment(Alignment::Start);
    Layout(border, 100, 100);
    EXPECT_EQ(border.DesiredSize(), (SizeF{24, 36}));
    EXPECT_EQ(wide->ArrangedBox(), (RectF{1, 2, 20, 94}));
    EXPECT_FLOAT_EQ(wide->lastAvailable.width, 96);
}

TEST(Border, TakesHitsOnlyWithABackground) {
    Border border;
    Layout(border, 10, 10);
    EXPECT_EQ(border.HitTest(PointF{5, 5}), nullptr);
    border.SetBackground(BorderBackground::CardBackground);
    EXPECT_EQ(border.HitTest(PointF{5, 5}), &border);
}

TEST(ScrollViewer, MeasuresContentUnboundedVerticallyAndClampsTheOffset) {
    ScrollViewer viewer;
    auto* content = static_cast<Probe*>(viewer.SetContent(std::make_unique<Probe>(80, 500)));
    viewer.Measure(SizeF{100, 200});
    EXPECT_FLOAT_EQ(content->lastAvailable.width, 100);
    EXPECT_TRUE(std::isinf(content->lastAvailable.height));
    EXPECT_EQ(viewer.DesiredSize(), (SizeF{80, 200}));
    viewer.Arrange(RectF{0, 0, 100, 200});
    EXPECT_EQ(viewer.Extent(), (SizeF{80, 500}));
    EXPECT_EQ(content->ArrangedBox(), (RectF{0, 0, 100, 500}));

    viewer.ScrollTo(50, 120);
    EXPECT_EQ(viewer.Offset(), (PointF{0, 120})); // horizontal scrolling is off
    EXPECT_FLOAT_EQ(content->Y(), -120);
    viewer.ScrollTo(0, 1000);
    EXPECT_FLOAT_EQ(viewer.Offset().y, 300);
    viewer.ScrollTo(0, -5);
    EXPECT_FLOAT_EQ(viewer.Offset().y, 0);
    EXPECT_EQ(content->measures, 1); // scrolling never measures again
}

TEST(ScrollViewer, WheelStepsAndShiftScrollsSideways) {
    ScrollViewer viewer;
    viewer.SetScrollModes(ScrollMode::Scrollable, ScrollMode::Scrollable);
    viewer.SetContent(std::make_unique<Probe>(1000, 1000));
    Layout(viewer, 100, 100);
    EXPECT_TRUE(viewer.OnWheel(Wheel(0, -2)));
    EXPECT_EQ(viewer.Offset(), (PointF{0, 96}));
    EXPECT_TRUE(viewer.OnWheel(Wheel(1, 0)));
    EXPECT_EQ(viewer.Offset(), (PointF{48, 96}));
    EXPECT_TRUE(viewer.OnWheel(Wheel(0, -1, kModShift)));
    EXPECT_EQ(viewer.Offset(), (PointF{96, 96}));
    viewer.ScrollTo(0, 0);
    EXPECT_FALSE(viewer.OnWheel(Wheel(0, 1))); // already at the top
}

TEST(ScrollViewer, WheelOverContentThatTakesNoHitsStillScrolls) {
    // A page of plain text: nothing inside takes hits, yet the wheel routed
    // by the host must reach the viewer.
    ScrollViewer viewer;
    viewer.SetContent(std::make_unique<Probe>(100, 1000));
    HeadlessHost host(viewer, DetachedTheme());
    host.Layout(SizeF{100, 100});
    WheelEvent event = Wheel(0, -1);
    event.position = PointF{50, 50};
    EXPECT_TRUE(host.Wheel(event));
    EXPECT_EQ(viewer.Offset(), (PointF{0, 48}));
}

TEST(ScrollViewer, BarsExistBeyondHalfADipAndThumbsFollowTheOffset) {
    ScrollViewer viewer;
    auto* content = static_cast<Probe*>(viewer.SetContent(std::make_unique<Probe>(50, 100.4f)));
    Layout(viewer, 100, 100);
    EXPECT_FALSE(viewer.HasVerticalBar());
    content->SetContent(SizeF{50, 400});
    Layout(viewer, 100, 100);
    ASSERT_TRUE(viewer.HasVerticalBar());
    EXPECT_EQ(viewer.VerticalThumb(), (RectF{94, 0, 6, 25})); // max(24, 100*100/400)
    viewer.ScrollTo(0, 300);
    EXPECT_EQ(viewer.VerticalThumb(), (RectF{94, 75, 6, 25}));
    content->SetContent(SizeF{50, 10000});
    Layout(viewer, 100, 100);
    EXPECT_FLOAT_EQ(viewer.VerticalThumb().height, 24);
}

// A page that scrolls shows its bar without the pointer near it: a thin
// line at the edge, the full thumb when the pointer comes close.
TEST(ScrollViewer, TheBarShowsWhileThePageScrolls) {
    ScrollViewer viewer;
    viewer.SetContent(std::make_unique<Probe>(50, 400));
    const Theme theme = LightTheme(kDefaultAccent);
    HeadlessHost host(viewer, theme);
    const SizeF size{100, 100};
    host.Layout(size);
    // The window background is light; the thumb is a mid grey.
    const auto ink = [&](int x, int y) { return host.Render(size)->PixelAt(x, y).r < 200; };
    // Resting: the line at the very edge, nothing where the full thumb's
    // inner half would be.
    EXPECT_TRUE(ink(98, 10));
    EXPECT_FALSE(ink(95, 10));
    EXPECT_FALSE(ink(98, 60)) << "below the thumb";
    // Near the edge: the full thumb.
    host.PointerMove(PointerEvent{PointF{97, 50}});
    EXPECT_TRUE(ink(95, 10));
    // Nothing scrolls: no bar.
    ScrollViewer still;
    still.SetContent(std::make_unique<Probe>(50, 80));
    HeadlessHost stillHost(still, theme);
    stillHost.Layout(size);
    EXPECT_FALSE(stillHost.Render(size)->PixelAt(98, 10).r < 200);
}

TEST(ScrollViewer, DraggingTheThumbMapsOntoTheOffsetRange) {
    ScrollViewer viewer;
    viewer.SetContent(std::make_unique<Probe>(50, 400));
    Layout(viewer, 100, 100);
    EXPECT_TRUE(viewer.OnPointerDown(Pointer(97, 10, PointerButton::Left)));
    EXPECT_TRUE(viewer.OnPointerMove(Pointer(97, 35)));
    // 25 of 75 DIPs of travel is a third of the 300 DIPs of offset.
    EXPECT_FLOAT_EQ(viewer.Offset().y, 100);
    EXPECT_TRUE(viewer.OnPointerUp(Pointer(97, 35, PointerButton::Left)));
    EXPECT_FALSE(viewer.OnPointerDown(Pointer(20, 10, PointerButton::Left)));
}

TEST(Separator, IsOneDipAcrossAndTheAvailableLengthAlong) {
    Separator line;
    line.Measure(SizeF{120, 50});
    EXPECT_EQ(line.DesiredSize(), (SizeF{120, 1}));
    Separator vertical(Orientation::Vertical);
    vertical.Measure(SizeF{kInfinity, kInfinity});
    EXPECT_EQ(vertical.DesiredSize(), (SizeF{1, 0}));
}

} // namespace
} // namespace Velto::Widget
