#pragma once

// What the window tests on a private X server share: finding widgets in a
// window's tree (widget_find.h), running the UI loop until something happened, and steps
// that run inside a modal dialog's own loop.

#include "tests/app/desktop/widget_find.h"
#include "widget/core/label.h"
#include "widget/core/widget.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"
#include "widget/window/kit_settings.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace App::Testing {

using Velto::Widget::Application;
using Velto::Widget::Dialog;
using Velto::Widget::Label;
using Velto::Widget::Widget;

inline constexpr double kDeadlineSeconds = 30;

inline const Label* FindLabel(const Widget* widget, std::u16string_view text) {
    if (!widget)
        return nullptr;
    if (const auto* label = dynamic_cast<const Label*>(widget);
        label && label->Text() == text && label->IsVisible())
        return label;
    for (const auto& child : widget->Children()) {
        if (const Label* found = FindLabel(child.get(), text))
            return found;
    }
    return nullptr;
}

// Runs the UI loop until the condition holds or the deadline passes (the
// loop wakes at least once a second by itself).
inline bool RunUntil(const std::function<bool()>& condition, double seconds = kDeadlineSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    Application::Instance().RunUntil(
        [&] { return condition() || std::chrono::steady_clock::now() > deadline; });
    return condition();
}

// The dialog the window opened last, as the kit's dialog hook reports it.
inline Dialog* g_openDialog = nullptr;

// Steps run from the UI loop while a modal dialog's own loop runs: each waits
// for its condition, then acts. The steps that never became ready are
// counted as timed out.
struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
};

struct StepRun {
    std::vector<Step> steps;
    std::size_t next{0};
    bool timedOut{false};
    std::chrono::steady_clock::time_point deadline;
    bool Done() const { return next >= steps.size() || timedOut; }
};

inline void Advance(const std::shared_ptr<StepRun>& run) {
    while (!run->Done() && run->steps[run->next].ready()) {
        run->steps[run->next].act();
        ++run->next;
    }
    if (run->Done())
        return;
    if (std::chrono::steady_clock::now() > run->deadline) {
        run->timedOut = true;
        // A dialog left open would hold the test in its loop for good.
        if (g_openDialog != nullptr && g_openDialog->IsRunningModally())
            g_openDialog->EndDialog(Dialog::kClosedResult);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Application::Instance().Post([run] { Advance(run); });
}

inline std::shared_ptr<StepRun> StartSteps(std::vector<Step> steps) {
    auto run = std::make_shared<StepRun>();
    run->steps = std::move(steps);
    run->deadline = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(kDeadlineSeconds));
    Application::Instance().Post([run] { Advance(run); });
    return run;
}

// Starts the toolkit on the test's X server with the test's window class, the
// desktop's appearance left alone, and the kit's dialog hook recording each
// dialog in g_openDialog.
inline bool StartToolkitForWindowTests() {
    Velto::Widget::ApplicationOptions options;
    options.appName = "VeltoCorvaneTest";
    options.watchAppearance = false;
    if (!Application::Instance().Init(options))
        return false;
    Velto::Widget::Kit::KitSettings kit;
    kit.dialogHook = [](Dialog& dialog, std::u16string_view) { g_openDialog = &dialog; };
    Velto::Widget::Kit::ConfigureKit(kit);
    return true;
}

inline bool DialogActive() {
    return g_openDialog != nullptr && g_openDialog->IsActive();
}

} // namespace App::Testing
