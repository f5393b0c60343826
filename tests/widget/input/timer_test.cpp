#include "recording_widget.h"
#include "widget/input/headless_host.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace Velto::Widget {
namespace {

using Log = std::vector<std::string>;

struct TimerTree {
    Log log;
    RecordingWidget root{"root", log};
    RecordingWidget* child{root.Add(std::make_unique<RecordingWidget>("child", log))};
    HeadlessHost host{root, DetachedTheme()};
};

TEST(RouterTimers, ARepeatingTimerOfIntervalZeroFiresAtMostEveryMillisecond) {
    TimerTree tree;
    std::vector<double> firings;
    tree.host.SetTimer(
        tree.child, 0, [&] { firings.push_back(tree.host.Now()); }, true);
    tree.host.AdvanceTime(0.0105);
    ASSERT_EQ(firings.size(), 11u); // at 0, 0.001, ... 0.010
    for (std::size_t i = 1; i < firings.size(); ++i)
        EXPECT_GE(firings[i] - firings[i - 1], InputRouter::kMinTimerInterval * 0.999);
}

TEST(RouterTimers, AOneShotTimerIsGoneBeforeItsCallbackSoItMayStartAnother) {
    TimerTree tree;
    int second = 0;
    bool wasGone = false;
    tree.host.SetTimer(
        tree.child, 0.25,
        [&] {
            wasGone = !tree.host.HasTimers();
            tree.child->StartTimer(
                0.5, [&] { ++second; }, false);
        },
        false);
    EXPECT_EQ(tree.host.NativeTimerDue(), 0.25);
    tree.host.AdvanceTime(0.3);
    EXPECT_TRUE(wasGone);
    EXPECT_EQ(tree.host.NativeTimerDue(), 0.75) << "re-armed for the new timer";
    tree.host.AdvanceTime(1);
    EXPECT_EQ(second, 1);
    EXPECT_FALSE(tree.host.NativeTimerDue()) << "stopped once no timer is left";
}

TEST(RouterTimers, TheNativeTimerFollowsTheEarliestDueTimer) {
    TimerTree tree;
    const std::uint64_t late = tree.host.SetTimer(
        nullptr, 1.0, [] {}, false);
    const std::uint64_t early = tree.host.SetTimer(
        nullptr, 0.3, [] {}, false);
    EXPECT_NE(late, early);
    EXPECT_EQ(tree.host.NativeTimerDue(), 0.3);
    tree.host.KillTimer(early);
    EXPECT_EQ(tree.host.NativeTimerDue(), 1.0);
    tree.host.KillTimer(late);
    EXPECT_FALSE(tree.host.NativeTimerDue());
}

TEST(RouterTimers, TimersOfARemovedWidgetAreDroppedEvenWhenAlreadyDue) {
    TimerTree tree;
    auto* doomed = tree.child->Add(std::make_unique<RecordingWidget>("doomed", tree.log));
    int fired = 0;
    tree.child->StartTimer(
        0.1, [&] { tree.root.RemoveChild(tree.child); }, false);
    doomed->StartTimer(
        0.1, [&] { ++fired; }, false); // due in the same pass
    doomed->StartTimer(
        5, [&] { ++fired; }, true);
    tree.host.AdvanceTime(10);
    EXPECT_EQ(fired, 0);
    EXPECT_FALSE(tree.host.HasTimers());
    EXPECT_FALSE(tree.host.NativeTimerDue());

    // A detached widget starts none.
    Log other;
    RecordingWidget loose("loose", other);
    EXPECT_EQ(loose.StartTimer(
                  1, [] {}, false),
              0u);
}

TEST(RouterTimers, ATimerKilledByAnEarlierCallbackOfTheSamePassDoesNotRun) {
    TimerTree tree;
    std::uint64_t second = 0;
    int runs = 0;
    tree.host.SetTimer(
        nullptr, 0.1, [&] { tree.host.KillTimer(second); }, false);
    second = tree.host.SetTimer(
        nullptr, 0.1, [&] { ++runs; }, false);
    tree.host.AdvanceTime(0.2);
    EXPECT_EQ(runs, 0);
}

TEST(HeadlessClock, ATimerChainWithoutDelayCannotHoldTheClockStill) {
    TimerTree tree;
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        tree.child->StartTimer(0, again, false);
    };
    tree.child->StartTimer(0, again, false);
    tree.host.AdvanceTime(1);
    EXPECT_EQ(tree.host.Now(), 1);
    EXPECT_GT(runs, 1);
}

} // namespace
} // namespace Velto::Widget
