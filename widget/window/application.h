#pragma once

#include "widget/window/application_options.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

union SDL_Event;

namespace Velto::Widget {

class AppearanceWatcher;
class Window;

// The process's UI runtime: SDL with its X11 back end, the UI thread's
// event loop, the task queue other threads post to, nested loops for modal
// dialogs and the registry of live windows that events are dispatched to.
// One per process, created on first use; everything except Post and Quit
// runs on the thread that called Init.
class Application {
public:
    using Task = std::function<void()>;
    // Returns true to be called again at once (more idle work waiting).
    using IdleHandler = std::function<bool()>;

    static Application& Instance();

    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Starts SDL (the X11 driver unless options.dummyVideo) on the calling
    // thread, which becomes the UI thread. A second Init returns true at
    // once; false when no display could be opened.
    bool Init(const ApplicationOptions& options = {});
    bool IsInitialized() const { return m_initialized; }
    const ApplicationOptions& Options() const { return m_options; }
    bool IsUiThread() const { return std::this_thread::get_id() == m_uiThread; }

    // Any thread. Runs the task on the UI thread in a later pass of the loop,
    // in the order tasks were posted. A task posted once the loop has ended
    // never runs.
    void Post(Task task);
    // Any thread. Ends Run (and every nested RunUntil) with the code.
    void Quit(int exitCode);
    // Runs the loop until Quit; returns the exit code. Tasks still queued
    // when it returns are dropped.
    int Run();
    // A nested loop: runs until the predicate holds (true) or Quit was called
    // (false; the enclosing loops then end too).
    bool RunUntil(const std::function<bool()>& predicate);
    bool QuitRequested() const { return m_quit.load(); }
    // Wakes the loop so that a RunUntil predicate is checked again.
    void Wake();
    void AddIdleHandler(IdleHandler handler);

    // Windows register while they have a native window.
    void RegisterWindow(Window& window, std::uint32_t nativeId);
    void UnregisterWindow(Window& window);
    // The live windows, oldest first.
    std::vector<Window*> Windows() const;
    // The appearance of the desktop changed (colour scheme, accent,
    // contrast): every window asks its theme source again.
    void RefreshThemes();
    // True once changes of the desktop's appearance are being listened for.
    bool IsWatchingAppearance() const;

    static constexpr int kMaxWaitMs = 1000;
    // While a window has a frame pending (an animation runs), the loop
    // paints at most this often.
    static constexpr int kFrameMs = 16;

private:
    Application();
    // One pass: events, tasks, timers, paints, idle handlers; then waits up
    // to the next timer when nothing is left to do.
    void Pump(bool mayWait);
    void Dispatch(const SDL_Event& event);
    void DispatchSystemEvent(const SDL_Event& event);
    bool RunTasks();
    bool FireTimers();
    void PaintWindows();
    bool RunIdleHandlers();
    // Milliseconds until the earliest native timer; none without timers.
    std::optional<int> NextTimeoutMs() const;
    bool FramePending() const;
    Window* WindowForId(std::uint32_t nativeId) const;
    // Pointer presses outside an open popup close it and are swallowed.
    bool FilterOutsideClick(const SDL_Event& event);

    struct Registered {
        Window* window{nullptr};
        std::uint32_t nativeId{0};
    };

    ApplicationOptions m_options;
    bool m_initialized{false};
    std::thread::id m_uiThread;
    std::uint32_t m_wakeEvent{0};

    std::mutex m_taskMutex; // guards m_tasks and m_loopEnded
    std::vector<Task> m_tasks;
    bool m_loopEnded{false};

    std::atomic<bool> m_quit{false};
    std::atomic<int> m_exitCode{0};
    int m_runDepth{0};

    std::vector<IdleHandler> m_idleHandlers;
    std::vector<Registered> m_windows;
    // A press that closed popups is swallowed, and so is its release.
    std::optional<std::uint8_t> m_swallowPress;
    std::optional<std::uint8_t> m_swallowRelease;
    std::unique_ptr<AppearanceWatcher> m_appearanceWatcher;
};

} // namespace Velto::Widget
