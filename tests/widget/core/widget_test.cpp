#include "tests/widget/core/layout_probe.h"
#include "widget/input/headless_host.h"
#include "widget/core/stack.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Velto::Widget {
namespace {

using Testing::Layout;
using Testing::Probe;

TEST(WidgetMeasure, MinWidthWinsOverSmallerAvailableWidth) {
    Probe probe(50, 10);
    probe.SetMinWidth(120);
    probe.Measure(SizeF{80, 100});
    EXPECT_FLOAT_EQ(probe.DesiredSize().width, 120);
}

TEST(WidgetMeasure, MinExceedingMaxMeansMin) {
    Probe probe(500, 10);
    probe.SetMinWidth(100);
    probe.SetMaxWidth(60);
    probe.Measure(SizeF{kInfinity, kInfinity});
    EXPECT_FLOAT_EQ(probe.DesiredSize().width, 100);
}

TEST(WidgetMeasure, ExplicitSizeAndMarginMakeTheDesiredSize) {
    Probe probe(10, 10);
    probe.SetWidth(40);
    probe.SetMargin(Thickness{1, 2, 3, 4});
    probe.Measure(SizeF{200, 200});
    EXPECT_FLOAT_EQ(probe.DesiredSize().width, 44);
    EXPECT_FLOAT_EQ(probe.DesiredSize().height, 16);
    EXPECT_FLOAT_EQ(probe.lastAvailable.width, 40);
    EXPECT_FLOAT_EQ(probe.lastAvailable.height, 194);
}

TEST(WidgetMeasure, MaxClampsTheContent) {
    Probe probe(300, 300);
    probe.SetMaxWidth(100);
    probe.SetMaxHeight(50);
    probe.Measure(SizeF{kInfinity, kInfinity});
    EXPECT_FLOAT_EQ(probe.DesiredSize().width, 100);
    EXPECT_FLOAT_EQ(probe.DesiredSize().height, 50);
}

TEST(WidgetMeasure, RepeatsOnlyWhenTheInputsChange) {
    Probe probe(10, 10);
    probe.Measure(SizeF{100, 100});
    probe.Measure(SizeF{100, 100});
    EXPECT_EQ(probe.measures, 1);
    probe.Measure(SizeF{90, 100});
    EXPECT_EQ(probe.measures, 2);
    probe.SetMargin(Thickness{1, 1, 1, 1});
    probe.Measure(SizeF{90, 100});
    EXPECT_EQ(probe.measures, 3);
    // Setting the same value again changes nothing.
    probe.SetMargin(Thickness{1, 1, 1, 1});
    probe.Measure(SizeF{90, 100});
    EXPECT_EQ(probe.measures, 3);
}

TEST(WidgetArrange, RepeatsOnlyWhenTheBoxChanges) {
    Probe probe(10, 10);
    Layout(probe, 100, 100);
    Layout(probe, 100, 100);
    EXPECT_EQ(probe.arranges, 1);
    probe.Arrange(RectF{5, 0, 100, 100});
    EXPECT_EQ(probe.arranges, 2);
}

TEST(WidgetArrange, CenterAlignmentCentresTheChild) {
    Probe probe(50, 10);
    probe.SetHorizontalAlignment(Alignment::Center);
    Layout(probe, 100, 100);
    EXPECT_FLOAT_EQ(probe.X(), 25);
    EXPECT_FLOAT_EQ(probe.ActualWidth(), 50);
    EXPECT_FLOAT_EQ(probe.ActualHeight(), 100); // vertical stretch
}

TEST(WidgetArrange, AlignmentsAndMargins) {
    struct Case {
        Alignment alignment;
        float x;
        float width;
    };
    const Case cases[] = {
        {Alignment::Stretch, 10, 80},
        {Alignment::Start, 10, 30},
        {Alignment::Center, 35, 30},
        {Alignment::End, 60, 30},
    };
    for (const Case& c : cases) {
        Probe probe(30, 10);
        probe.SetMargin(Thickness{10, 0, 10, 0});
        probe.SetHorizontalAlignment(c.alignment);
        Layout(probe, 100, 20);
        EXPECT_FLOAT_EQ(probe.X(), c.x) << static_cast<int>(c.alignment);
        EXPECT_FLOAT_EQ(probe.ActualWidth(), c.width) << static_cast<int>(c.alignment);
    }
}

TEST(WidgetArrange, ExplicitWidthLargerThanTheBoxIsCut) {
    Probe probe(10, 10);
    probe.SetWidth(150);
    Layout(probe, 100, 100);
    EXPECT_FLOAT_EQ(probe.ActualWidth(), 100);
}

TEST(WidgetInvalidation, ReachesEveryAncestor) {
    Stack root;
    auto* middle = root.Add(std::make_unique<Stack>());
    auto* leaf = middle->Add(std::make_unique<Probe>(10, 10));
    Layout(root, 100, 100);
    ASSERT_TRUE(root.IsMeasureValid());
    ASSERT_TRUE(leaf->IsMeasureValid());
    leaf->SetContent(SizeF{20, 20});
    EXPECT_FALSE(leaf->IsMeasureValid());
    EXPECT_FALSE(middle->IsMeasureValid());
    EXPECT_FALSE(root.IsMeasureValid());
    Layout(root, 100, 100);
    EXPECT_EQ(leaf->measures, 2);
    EXPECT_FLOAT_EQ(root.DesiredSize().height, 20);
}

TEST(WidgetInvalidation, UnchangedSiblingsAreNotMeasuredAgain) {
    Stack root;
    auto* a = root.Add(std::make_unique<Probe>(10, 10));
    auto* b = root.Add(std::make_unique<Probe>(10, 10));
    Layout(root, 100, 100);
    a->SetContent(SizeF{10, 30});
    Layout(root, 100, 100);
    EXPECT_EQ(a->measures, 2);
    EXPECT_EQ(b->measures, 1);
    EXPECT_EQ(b->arranges, 2); // it moved down
    EXPECT_FLOAT_EQ(b->Y(), 30);
}

TEST(WidgetInvalidation, AsksTheHostForALayoutPass) {
    Stack root;
    auto* leaf = root.Add(std::make_unique<Probe>(10, 10));
    HeadlessHost host(root, DetachedTheme());
    host.Layout(SizeF{100, 100});
    EXPECT_FALSE(host.LayoutRequested());
    leaf->SetWidth(20);
    EXPECT_TRUE(host.LayoutRequested());
}

TEST(WidgetVisibility, HiddenMeasuresAsNothing) {
    Probe probe(40, 40);
    probe.SetVisible(false);
    probe.Measure(SizeF{100, 100});
    EXPECT_EQ(probe.DesiredSize(), (SizeF{0, 0}));
    EXPECT_TRUE(probe.IsMeasureValid());
    EXPECT_EQ(probe.measures, 0);
}

TEST(WidgetHitTest, TopmostVisibleChildWins) {
    Widget root;
    auto* bottom = root.Add(std::make_unique<Probe>(100, 100));
    auto* top = root.Add(std::make_unique<Probe>(100, 100));
    bottom->SetHitSelf(true);
    Layout(root, 100, 100);
    // Plain widgets do not take hits themselves.
    EXPECT_EQ(root.HitTest(PointF{50, 50}), nullptr);

    struct Hittable : Probe {
        using Probe::Probe;
        bool TakesHitsItself() const override { return true; }
    };
    auto* lower = root.Add(std::make_unique<Hittable>(100, 100));
    auto* upper = root.Add(std::make_unique<Hittable>(100, 100));
    Layout(root, 100, 100);
    EXPECT_EQ(root.HitTest(PointF{50, 50}), upper);
    upper->SetVisible(false);
    Layout(root, 100, 100);
    EXPECT_EQ(root.HitTest(PointF{50, 50}), lower);
    EXPECT_EQ(root.HitTest(PointF{100, 50}), nullptr); // the right edge is outside
    EXPECT_EQ(root.HitTest(PointF{-1, 50}), nullptr);
    (void)top;
}

TEST(WidgetHitTest, PointIsMovedIntoTheChild) {
    struct Hittable : Probe {
        using Probe::Probe;
        bool TakesHitsItself() const override { return true; }
    };
    Stack root;
    root.Add(std::make_unique<Probe>(100, 40));
    auto* second = root.Add(std::make_unique<Hittable>(100, 40));
    second->SetMargin(Thickness{10, 0, 0, 0});
    Layout(root, 100, 200);
    EXPECT_EQ(root.HitTest(PointF{50, 50}), second);
    EXPECT_EQ(root.HitTest(PointF{5, 50}), nullptr); // in the margin
    EXPECT_EQ(root.HitTest(PointF{50, 90}), nullptr);
}

TEST(WidgetTree, BoundsInWindowAddTheAncestorsAndVanishWhenHidden) {
    Stack root;
    root.SetMargin(Thickness{5, 7, 0, 0});
    auto* inner = root.Add(std::make_unique<Stack>());
    inner->Add(std::make_unique<Probe>(10, 10));
    auto* leaf = inner->Add(std::make_unique<Probe>(10, 10));
    Layout(root, 100, 100);
    EXPECT_EQ(leaf->BoundsInWindow(), (RectF{5, 17, 95, 10}));
    inner->SetVisible(false);
    EXPECT_TRUE(leaf->BoundsInWindow().IsEmpty());
}

TEST(WidgetTree, DisablingReachesDescendants) {
    Stack root;
    auto* inner = root.Add(std::make_unique<Stack>());
    auto* leaf = inner->Add(std::make_unique<Probe>());
    root.SetEnabled(false);
    EXPECT_FALSE(inner->IsEnabled());
    EXPECT_FALSE(leaf->IsEnabled());
    root.SetEnabled(true);
    EXPECT_TRUE(leaf->IsEnabled());
}

TEST(WidgetTree, AttachingFollowsTheSubtreeAndRemovalForgetsFocus) {
    struct Focusable : Probe {
        bool CanFocus() const override { return true; }
    };
    Stack root;
    HeadlessHost host(root, DetachedTheme());
    auto* inner = root.Add(std::make_unique<Stack>());
    auto* leaf = inner->Add(std::make_unique<Focusable>());
    EXPECT_EQ(leaf->GetHost(), &host);
    EXPECT_TRUE(leaf->RequestFocus());
    EXPECT_EQ(host.Focused(), leaf);
    inner->SetVisible(false);
    EXPECT_EQ(host.Focused(), nullptr);
    inner->SetVisible(true);
    EXPECT_TRUE(leaf->RequestFocus());
    root.RemoveChild(inner);
    EXPECT_EQ(host.Focused(), nullptr);
    EXPECT_TRUE(root.Children().empty());
}

TEST(WidgetTree, AccessibilityDefaults) {
    Widget w;
    EXPECT_EQ(w.ClassName(), "Widget");
    EXPECT_EQ(w.AccessibilityRole(), kRoleNone);
    EXPECT_FALSE(w.IsAccessibilityElement());
    EXPECT_TRUE(w.IsTabStop());
    w.SetTooltip(u"tip");
    EXPECT_EQ(w.HelpText(), u"tip");
    w.SetHelpText(u"help");
    EXPECT_EQ(w.HelpText(), u"help");
    EXPECT_TRUE(std::isnan(w.Width()));
}

} // namespace
} // namespace Velto::Widget
