// The UI loop without a display (SDL's dummy video driver): tasks posted from
// other threads, timers of a window's widgets, idle handlers, Quit and the
// tasks posted once the loop has ended. The ended-loop test runs last: it
// leaves the loop ended for good.
#include "widget/core/widget.h"
#include "widget/window/application.h"
#include "widget/window/monotonic_seconds.h"
#include "widget/window/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Velto::Widget {
namespace {

constexpr double kDeadlineSeconds = 20;

class LoopEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ApplicationOptions options;
        options.dummyVideo = true;
        ASSERT_TRUE(Application::Instance().Init(options));
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new LoopEnvironment);

// Runs the loop until the condition holds; a deadline keeps a broken loop
// from hanging the test.
bool RunUntil(const std::function<bool()>& condition) {
    const double deadline = MonotonicSeconds() + kDeadlineSeconds;
    std::atomic<bool> stop{false};
    std::thread ticker([&stop, deadline] {
        while (!stop.load() && MonotonicSeconds() <= deadline + 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Application::Instance().Wake();
    });
    Application::Instance().RunUntil([&] { return condition() || MonotonicSeconds() > deadline; });
    stop = true;
    ticker.join();
    return condition();
}

class Ticking : public Widget {};

TEST(LoopTest, TasksFromTwoThreadsRunInTheirOrderOnTheUiThread) {
    constexpr int kPerThread = 200;
    std::mutex mutex;
    std::vector<int> ran; // guarded by mutex
    std::atomic<int> offThread{0};
    const std::thread::id ui = std::this_thread::get_id();
    const auto poster = [&](int base) {
        for (int i = 0; i < kPerThread; ++i)
            Application::Instance().Post([&, value = base + i] {
                if (std::this_thread::get_id() != ui)
                    ++offThread;
                std::lock_guard lock(mutex);
                ran.push_back(value);
            });
    };
    std::thread a(poster, 0);
    std::thread b(poster, 1000);
    a.join();
    b.join();
    ASSERT_TRUE(RunUntil([&] {
        std::lock_guard lock(mutex);
        return ran.size() == 2u * kPerThread;
    }));
    EXPECT_EQ(offThread.load(), 0);
    std::vector<int> fromA;
    std::vector<int> fromB;
    for (const int value : ran)
        (value < 1000 ? fromA : fromB).push_back(value);
    ASSERT_EQ(fromA.size(), static_cast<std::size_t>(kPerThread));
    for (int i = 0; i < kPerThread; ++i) {
        EXPECT_EQ(fromA[static_cast<std::size_t>(i)], i);
        EXPECT_EQ(fromB[static_cast<std::size_t>(i)], 1000 + i);
    }
}

TEST(LoopTest, TimersOfAWindowFire) {
    Window window;
    WindowOptions options;
    options.title = u"Timers";
    ASSERT_TRUE(window.Create(options));
    Widget* widget = window.SetRoot(std::make_unique<Ticking>());
    int once = 0;
    int repeats = 0;
    const double started = MonotonicSeconds();
    widget->StartTimer(
        0.05, [&] { ++once; }, false);
    const std::uint64_t repeating = widget->StartTimer(
        0.01, [&] { ++repeats; }, true);
    ASSERT_TRUE(RunUntil([&] { return once == 1 && repeats >= 3; }));
    EXPECT_GE(MonotonicSeconds() - started, 0.05);
    window.KillTimer(repeating);
    const int seen = repeats;
    // A one-shot timer started from inside a timer callback runs too.
    bool chained = false;
    widget->StartTimer(
        0,
        [&] {
            widget->StartTimer(
                0.01, [&] { chained = true; }, false);
        },
        false);
    ASSERT_TRUE(RunUntil([&] { return chained; }));
    EXPECT_EQ(repeats, seen);
    EXPECT_EQ(once, 1);
}

TEST(LoopTest, IdleHandlersRunWhileAskingForMore) {
    // Handlers stay for the life of the loop: the count outlives this test.
    const auto calls = std::make_shared<int>(0);
    Application::Instance().AddIdleHandler([calls] {
        ++*calls;
        return *calls < 5;
    });
    // Asking for more keeps the loop going without any event.
    ASSERT_TRUE(RunUntil([&] { return *calls >= 5; }));
}

TEST(LoopTest, ZQuitEndsRunAndLaterTasksNeverRun) {
    Application& app = Application::Instance();
    // A quit asked for before Run starts still ends it.
    std::thread quitter([&app] { app.Quit(7); });
    quitter.join();
    EXPECT_EQ(app.Run(), 7);

    bool late = false;
    app.Post([&] { late = true; });
    std::thread laterQuit([&app] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        app.Quit(3);
    });
    EXPECT_EQ(app.Run(), 3);
    laterQuit.join();
    EXPECT_FALSE(late);
}

} // namespace
} // namespace Velto::Widget
