#include "recording_widget.h"
#include "widget/input/headless_host.h"
#include "widget/input/key_codes.h"

#include <gtest/gtest.h>

#include <memory>

namespace Velto::Widget {
namespace {

using Log = std::vector<std::string>;

PointerEvent At(float x, float y) {
    PointerEvent event;
    event.position = PointF{x, y};
    return event;
}

// Two tipped buttons side by side; the first holds an untipped icon.
struct TipTree {
    Log log;
    RecordingWidget root{"root", log};
    RecordingWidget* first{nullptr};
    RecordingWidget* icon{nullptr};
    RecordingWidget* second{nullptr};
    HeadlessHost host{root, DetachedTheme()};

    TipTree() {
        first = Place(root, "first", 0, 50);
        first->SetTooltip(u"Hello"); // 5 characters: shown 4.25 s
        icon = Place(*first, "icon", 0, 10);
        second = Place(root, "second", 100, 50);
        second->SetTooltip(u"Other");
        InstallTooltips(host);
        host.Layout(SizeF{200, 100});
    }
    RecordingWidget* Place(Widget& parent, std::string name, float x, float size) {
        auto* w = parent.Add(std::make_unique<RecordingWidget>(std::move(name), log));
        w->hittable = true;
        w->SetMargin(Thickness{x, 0, 0, 0});
        w->SetWidth(size);
        w->SetHeight(size);
        w->SetHorizontalAlignment(Alignment::Start);
        w->SetVerticalAlignment(Alignment::Start);
        return w;
    }
};

TEST(Tooltips, ShowAfterHalfASecondAndHideAfterTheirReadingTime) {
    TipTree tree;
    tree.host.PointerMove(At(30, 30));
    tree.host.AdvanceTime(0.49);
    EXPECT_FALSE(tree.host.ShownTooltip());
    tree.host.AdvanceTime(0.02);
    ASSERT_TRUE(tree.host.ShownTooltip());
    EXPECT_EQ(*tree.host.ShownTooltip(), u"Hello");
    EXPECT_EQ(tree.host.TooltipPoint(), (PointF{30, 30}));
    // Moving onto the icon inside the button keeps the same tip.
    tree.host.PointerMove(At(5, 5));
    tree.host.AdvanceTime(4.25 - 0.06);
    EXPECT_TRUE(tree.host.ShownTooltip());
    tree.host.AdvanceTime(0.1);
    EXPECT_FALSE(tree.host.ShownTooltip());
}

TEST(Tooltips, TheNextTipShowsAtOnceRightAfterOneWasHidden) {
    TipTree tree;
    tree.host.PointerMove(At(30, 30));
    tree.host.AdvanceTime(0.6);
    ASSERT_TRUE(tree.host.ShownTooltip());
    tree.host.PointerMove(At(120, 30));
    EXPECT_FALSE(tree.host.ShownTooltip()) << "hidden as the pointer moved on";
    tree.host.AdvanceTime(0);
    ASSERT_TRUE(tree.host.ShownTooltip());
    EXPECT_EQ(*tree.host.ShownTooltip(), u"Other");

    // Long after the last hide the half-second wait is back.
    tree.host.PointerMove(At(190, 90));
    tree.host.AdvanceTime(1);
    tree.host.PointerMove(At(30, 30));
    tree.host.AdvanceTime(0.4);
    EXPECT_FALSE(tree.host.ShownTooltip());
    tree.host.AdvanceTime(0.2);
    EXPECT_TRUE(tree.host.ShownTooltip());
}

TEST(Tooltips, AKeyPressHidesTheTipAndDisarmsAPendingOne) {
    TipTree tree;
    tree.host.PointerMove(At(30, 30));
    tree.host.AdvanceTime(0.6);
    ASSERT_TRUE(tree.host.ShownTooltip());
    tree.host.KeyDown(KeyEvent{kKeyShift, 0, kModShift, false, false, false});
    EXPECT_FALSE(tree.host.ShownTooltip());

    tree.host.PointerMove(At(120, 30));
    tree.host.KeyDown(KeyEvent{'A', 0, 0, false, false, false});
    tree.host.AdvanceTime(1);
    EXPECT_FALSE(tree.host.ShownTooltip());
}

TEST(Tooltips, ALongTextStaysAtMostThirtySeconds) {
    TipTree tree;
    tree.second->SetTooltip(std::u16string(1000, u'x'));
    tree.host.PointerMove(At(120, 30));
    tree.host.AdvanceTime(0.5);
    ASSERT_TRUE(tree.host.ShownTooltip());
    tree.host.AdvanceTime(29.9);
    EXPECT_TRUE(tree.host.ShownTooltip());
    tree.host.AdvanceTime(0.2);
    EXPECT_FALSE(tree.host.ShownTooltip());
}

TEST(Tooltips, NothingShowsUntilInstalledOrAfterTheWidgetLeft) {
    Log log;
    RecordingWidget root("root", log);
    root.hittable = true;
    root.SetTooltip(u"tip");
    HeadlessHost host(root, DetachedTheme());
    host.Layout(SizeF{50, 50});
    host.PointerMove(At(10, 10));
    host.AdvanceTime(1);
    EXPECT_FALSE(host.ShownTooltip());

    TipTree tree;
    tree.host.PointerMove(At(120, 30));
    tree.root.RemoveChild(tree.second);
    tree.host.AdvanceTime(1);
    EXPECT_FALSE(tree.host.ShownTooltip());
    EXPECT_FALSE(tree.host.HasTimers());
}

} // namespace
} // namespace Velto::Widget
