#include "recording_widget.h"
#include "widget/input/headless_host.h"

#include <gtest/gtest.h>

#include <memory>

namespace Velto::Widget {
namespace {

using Log = std::vector<std::string>;

PointerEvent At(float x, float y, PointerButton button = PointerButton::None) {
    PointerEvent event;
    event.position = PointF{x, y};
    event.button = button;
    return event;
}

// root (200 x 200, takes no hits) > panel (whole box) > button at (10, 10)
// 50 x 30, with `other` beside the panel's content at (100, 10).
struct PointerTree {
    Log log;
    RecordingWidget root{"root", log};
    RecordingWidget* panel{nullptr};
    RecordingWidget* button{nullptr};
    RecordingWidget* other{nullptr};
    HeadlessHost host{root, DetachedTheme()};

    PointerTree() {
        panel = root.Add(std::make_unique<RecordingWidget>("panel", log));
        panel->hittable = true;
        button = Place(*panel, "button", 10);
        other = Place(*panel, "other", 100);
        host.Layout(SizeF{200, 200});
        log.clear();
    }
    RecordingWidget* Place(Widget& parent, std::string name, float x) {
        auto* w = parent.Add(std::make_unique<RecordingWidget>(std::move(name), log));
        w->hittable = true;
        w->SetMargin(Thickness{x, 10, 0, 0});
        w->SetWidth(50);
        w->SetHeight(30);
        w->SetHorizontalAlignment(Alignment::Start);
        w->SetVerticalAlignment(Alignment::Start);
        return w;
    }
};

TEST(RouterHover, EnterAndLeaveFollowTheChainUnderThePointer) {
    PointerTree tree;
    struct Step {
        float x, y;
        Log notes; // enter and leave only
    };
    const Step steps[] = {
        {20, 20, {"root:enter", "panel:enter", "button:enter"}},
        {30, 25, {}}, // still the button
        {150, 150, {"button:leave"}},
        {110, 20, {"other:enter"}},
        {20, 20, {"other:leave", "button:enter"}},
    };
    for (const Step& step : steps) {
        tree.log.clear();
        tree.host.PointerMove(At(step.x, step.y));
        Log notes;
        for (const std::string& entry : tree.log)
            if (entry.ends_with(":enter") || entry.ends_with(":leave"))
                notes.push_back(entry);
        EXPECT_EQ(notes, step.notes) << step.x << "," << step.y;
    }
    EXPECT_EQ(tree.host.Hovered(), tree.button);
    tree.log.clear();
    tree.host.PointerLeave();
    EXPECT_EQ(tree.log, (Log{"button:leave", "panel:leave", "root:leave"}));
    EXPECT_EQ(tree.host.Hovered(), nullptr);
}

TEST(RouterHover, HidingOrRemovingTheHoveredWidgetForgetsIt) {
    PointerTree tree;
    tree.host.PointerMove(At(20, 20));
    tree.log.clear();
    tree.button->SetVisible(false);
    EXPECT_EQ(tree.log, (Log{"button:leave"}));
    EXPECT_EQ(tree.host.Hovered(), tree.panel);

    tree.host.PointerMove(At(110, 20));
    tree.log.clear();
    tree.panel->RemoveChild(tree.other); // not told: it is being destroyed
    EXPECT_TRUE(tree.log.empty());
    EXPECT_EQ(tree.host.Hovered(), tree.panel);
}

TEST(RouterPointer, PressesGoToTheHitWidgetAndItsAncestorsUntilHandled) {
    PointerTree tree;
    tree.host.PointerDown(At(20, 20, PointerButton::Left));
    EXPECT_EQ(tree.log, (Log{"button:press", "panel:press", "root:press"}));
    tree.log.clear();
    tree.panel->handlePointer = true;
    EXPECT_TRUE(tree.host.PointerUp(At(20, 20, PointerButton::Left)));
    EXPECT_EQ(tree.log, (Log{"button:release", "panel:release"}));
    tree.log.clear();
    EXPECT_FALSE(tree.host.Wheel(WheelEvent{PointF{500, 500}, 0, 1, false, 0}));
    EXPECT_TRUE(tree.log.empty()) << "outside the window nothing is hit";
}

TEST(RouterPointer, CaptureTakesEveryPointerEventUntilReleased) {
    PointerTree tree;
    tree.button->handlePointer = true;
    tree.host.PointerMove(At(20, 20));
    tree.host.PointerDown(At(20, 20, PointerButton::Left));
    tree.button->GetHost()->SetCapture(tree.button);
    EXPECT_TRUE(tree.host.NativeCaptured());
    tree.log.clear();

    tree.host.PointerMove(At(150, 150));
    tree.host.Wheel(WheelEvent{PointF{150, 150}, 0, 1, false, 0});
    tree.host.PointerUp(At(150, 150, PointerButton::Left));
    EXPECT_EQ(tree.log, (Log{"button:leave", "button:move", "button:wheel", "button:release"}));

    // Another widget taking the capture takes it from the button.
    tree.log.clear();
    tree.host.SetCapture(tree.other);
    EXPECT_EQ(tree.log, (Log{"button:lost"}));
    EXPECT_TRUE(tree.host.NativeCaptured());
    // Hiding the capturing widget ends the capture.
    tree.log.clear();
    tree.other->SetVisible(false);
    EXPECT_EQ(tree.host.Capture(), nullptr);
    EXPECT_FALSE(tree.host.NativeCaptured());
    EXPECT_EQ(tree.log, (Log{"other:lost"}));

    // The window losing the native capture tells the widget too.
    tree.host.SetCapture(tree.button);
    tree.log.clear();
    tree.host.CaptureLost();
    EXPECT_EQ(tree.log, (Log{"button:lost"}));
    EXPECT_EQ(tree.host.Capture(), nullptr);
}

TEST(RouterPointer, AWidgetRemovedDuringThePressIsNotVisitedAgain) {
    PointerTree tree;
    tree.button->onEvent = [&tree] { tree.root.RemoveChild(tree.panel); };
    EXPECT_FALSE(tree.host.PointerDown(At(20, 20, PointerButton::Left)));
    EXPECT_EQ(tree.log, (Log{"button:press"}));
    EXPECT_TRUE(tree.root.Children().empty());
    // A removed hover chain is forgotten too.
    tree.host.PointerMove(At(20, 20));
    EXPECT_EQ(tree.host.Hovered(), nullptr);
}

TEST(RouterPointer, TheCursorIsTheShapeTheWidgetUnderThePointerAsksFor) {
    PointerTree tree;
    tree.button->cursor = CursorShape::Hand;
    tree.other->cursor = CursorShape::IBeam;
    tree.host.PointerMove(At(20, 20));
    EXPECT_EQ(tree.host.NativeCursor(), CursorShape::Hand);
    tree.host.PointerMove(At(110, 20));
    EXPECT_EQ(tree.host.NativeCursor(), CursorShape::IBeam);
    tree.host.PointerMove(At(150, 150));
    EXPECT_EQ(tree.host.NativeCursor(), CursorShape::Arrow);
    // While captured, the capturing widget decides.
    tree.host.SetCapture(tree.button);
    tree.host.PointerMove(At(110, 20));
    EXPECT_EQ(tree.host.NativeCursor(), CursorShape::Hand);
}

} // namespace
} // namespace Velto::Widget
