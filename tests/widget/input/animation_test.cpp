#include "recording_widget.h"
#include "widget/input/animator.h"
#include "widget/input/headless_host.h"

#include <gtest/gtest.h>

#include <memory>

namespace Velto::Widget {
namespace {

using Log = std::vector<std::string>;

TEST(Easing, MapsProgressAsItsCurveSays) {
    struct Case {
        Easing easing;
        float t;
        float value;
    };
    const Case cases[] = {
        {Easing::Linear, 0.25f, 0.25f},       {Easing::QuadraticOut, 0.5f, 0.75f},
        {Easing::CubicOut, 0.5f, 0.875f},     {Easing::CubicInOut, 0.25f, 0.0625f},
        {Easing::CubicInOut, 0.5f, 0.5f},     {Easing::CubicInOut, 0.75f, 0.9375f},
        {Easing::CubicOut, -1.0f, 0.0f},      {Easing::QuadraticOut, 2.0f, 1.0f},
        {static_cast<Easing>(9), 0.4f, 0.4f}, // unknown: linear
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(ApplyEasing(c.easing, c.t), c.value)
            << static_cast<int>(c.easing) << " at " << c.t;
}

TEST(AnimatorStep, TicksEasedValuesAndFinishesWithTheEndValueThenDone) {
    Animator animator;
    Log events;
    Animation animation;
    animation.from = 10;
    animation.to = 20;
    animation.duration = 2;
    animation.tick = [&](float v) {
        events.push_back("tick " + std::to_string(static_cast<int>(v)));
    };
    animation.done = [&] {
        events.push_back("done");
        EXPECT_TRUE(animator.Empty()) << "removed before its done callback";
    };
    const std::uint64_t id = animator.Add(animation, 100);
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(animator.Step(99)); // before the start: t is 0
    EXPECT_TRUE(animator.Step(101));
    EXPECT_FALSE(animator.Step(102.5));
    EXPECT_FALSE(animator.IsRunning(id));
    EXPECT_EQ(events, (Log{"tick 10", "tick 15", "tick 20", "done"}));
}

TEST(AnimatorStep, NoDurationFinishesAtOnceAndRepeatingKeepsTheFraction) {
    Animator animator;
    float last = -1;
    bool done = false;
    EXPECT_EQ(animator.Add(Animation{0, 5, 0, Easing::Linear, false, [&](float v) { last = v; },
                                     [&] { done = true; }, nullptr},
                           0),
              0u);
    EXPECT_EQ(last, 5);
    EXPECT_TRUE(done);
    EXPECT_TRUE(animator.Empty());

    const std::uint64_t id = animator.Add(
        Animation{0, 100, 1, Easing::Linear, true, [&](float v) { last = v; }, {}, nullptr}, 0);
    EXPECT_TRUE(animator.Step(3.25));
    EXPECT_FLOAT_EQ(last, 25);
    EXPECT_TRUE(animator.Cancel(id));
    EXPECT_FALSE(animator.Cancel(id));
    EXPECT_FALSE(animator.Step(4));
}

struct AnimatedWidget : RecordingWidget {
    using RecordingWidget::RecordingWidget;
    AnimatedValue value{*this, 0};
    AnimatedColor color{*this, Color{1, 1, 1, 0}};
};

struct AnimationTree {
    Log log;
    RecordingWidget root{"root", log};
    AnimatedWidget* widget{root.Add(std::make_unique<AnimatedWidget>("w", log))};
    HeadlessHost host{root, DetachedTheme()};

    bool Frame() { return host.Render(SizeF{8, 8}) != nullptr && !host.GetAnimator().Empty(); }
};

TEST(AnimatedValueTest, AdvancesOncePerFrameAndEndsAtTheTarget) {
    AnimationTree tree;
    tree.host.Render(SizeF{8, 8});
    const int repaints = tree.host.NativeRepaints();
    tree.widget->value.AnimateTo(1, 0.2, Easing::Linear);
    EXPECT_GT(tree.host.NativeRepaints(), repaints) << "the first frame is asked for";
    EXPECT_FLOAT_EQ(tree.widget->value.Value(), 0);
    tree.host.AdvanceTime(0.1);
    EXPECT_TRUE(tree.Frame());
    EXPECT_FLOAT_EQ(tree.widget->value.Value(), 0.5f);
    EXPECT_TRUE(tree.host.PaintRequested()) << "a running animation asks for the next frame";
    tree.host.AdvanceTime(0.15);
    EXPECT_FALSE(tree.Frame());
    EXPECT_FLOAT_EQ(tree.widget->value.Value(), 1);
    EXPECT_FALSE(tree.widget->value.IsAnimating());
}

TEST(AnimatedValueTest, TakesTheTargetAtOnceWhenItCannotAnimate) {
    AnimationTree tree;
    tree.widget->value.AnimateTo(1, 0, Easing::Linear);
    EXPECT_EQ(tree.widget->value.Value(), 1);
    tree.host.SetAnimationsEnabled(false);
    tree.widget->value.AnimateTo(2, 1, Easing::Linear);
    EXPECT_EQ(tree.widget->value.Value(), 2);

    Log other;
    AnimatedWidget loose("loose", other);
    loose.value.AnimateTo(3, 1, Easing::Linear);
    EXPECT_EQ(loose.value.Value(), 3);
}

TEST(AnimatedValueTest, RetargetingToTheShownValueStopsTheRunningAnimation) {
    AnimationTree tree;
    tree.widget->value.AnimateTo(1, 1, Easing::Linear);
    tree.host.AdvanceTime(0.5);
    tree.Frame();
    const float shown = tree.widget->value.Value();
    tree.widget->value.AnimateTo(shown, 1, Easing::Linear);
    tree.host.AdvanceTime(0.5);
    EXPECT_FALSE(tree.Frame());
    EXPECT_EQ(tree.widget->value.Value(), shown);
}

TEST(AnimatedValueTest, AWidgetDestroyedMidAnimationLeavesNothingBehind) {
    AnimationTree tree;
    tree.widget->value.AnimateTo(1, 1, Easing::Linear);
    tree.widget->color.TransitionTo(Color{1, 0, 0, 1}, 1);
    tree.root.RemoveChild(tree.widget);
    EXPECT_TRUE(tree.host.GetAnimator().Empty());
    tree.host.AdvanceTime(0.5);
    EXPECT_FALSE(tree.Frame());
}

TEST(ColorTransition, ATransparentSideTakesTheOtherSidesColour) {
    const Color red{1, 0, 0, 1};
    const Color blue{0, 0, 1, 1};
    struct Case {
        Color start, end;
        float progress;
        Color shown;
    };
    const Case cases[] = {
        {red, blue, 0.5f, Color{0.5f, 0, 0.5f, 1}},
        {Color{0, 1, 0, 0}, red, 0.5f, Color{1, 0, 0, 0.5f}},              // fading in
        {red, Color{0, 1, 0, 0.0005f}, 0.5f, Color{1, 0, 0, 0.50025f}},    // fading out
        {Color{0, 1, 0, 0.002f}, red, 0.5f, Color{0.5f, 0.5f, 0, 0.501f}}, // not transparent
        {red, blue, 0, red},
        {red, blue, 1, blue},
    };
    for (const Case& c : cases) {
        const Color shown = MixTransitionColors(c.start, c.end, c.progress);
        EXPECT_NEAR(shown.r, c.shown.r, 1e-6);
        EXPECT_NEAR(shown.g, c.shown.g, 1e-6);
        EXPECT_NEAR(shown.b, c.shown.b, 1e-6);
        EXPECT_NEAR(shown.a, c.shown.a, 1e-6);
    }
}

TEST(ColorTransition, StartsFromTheColourShownAndEasesOutToTheNewOne) {
    AnimationTree tree;
    AnimatedColor& color = tree.widget->color;
    const Color red{1, 0, 0, 1};
    color.TransitionTo(red, 0.2);
    // Nothing moves before a frame; the transparent start shows red already.
    EXPECT_EQ(color.Current(), (Color{1, 0, 0, 0}));
    tree.host.AdvanceTime(0.1);
    tree.Frame();
    // Cubic ease-out at one half is 0.875.
    EXPECT_EQ(color.Current(), (Color{1, 0, 0, 0.875f}));

    // A new colour mid-way starts from what is shown now.
    const Color shown = color.Current();
    color.TransitionTo(Color{0, 0, 1, 1}, 0.2);
    EXPECT_EQ(color.Current(), shown);
    tree.host.AdvanceTime(0.2);
    EXPECT_FALSE(tree.Frame());
    EXPECT_EQ(color.Current(), (Color{0, 0, 1, 1}));

    color.TransitionTo(red, 0); // at once
    EXPECT_EQ(color.Current(), red);
}

} // namespace
} // namespace Velto::Widget
