#include "widget/window/application.h"

#include "widget/render/text_layout.h"
#include "widget/window/appearance_watcher.h"
#include "widget/window/monotonic_seconds.h"
#include "widget/window/system_clipboard.h"
#include "widget/window/window.h"
#include "widget/window/x11_errors.h"
#include "widget/window/x11_window.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

constexpr std::uint32_t kNoEvent = static_cast<std::uint32_t>(-1);

// Loads the fonts and the shaper once, so that the first window's text does
// not wait for them.
void WarmUpText() {
    const TextLayout layout(u"Ag \uD55C\uAE00", TextFormat{}, TextOptions{});
    (void)layout.Size();
}

// The window an SDL event belongs to (0: none or every window).
std::uint32_t WindowIdOf(const SDL_Event& event) {
    switch (event.type) {
    case SDL_WINDOWEVENT:
        return event.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return event.key.windowID;
    case SDL_TEXTINPUT:
        return event.text.windowID;
    case SDL_TEXTEDITING:
        return event.edit.windowID;
    case SDL_TEXTEDITING_EXT:
        return event.editExt.windowID;
    case SDL_MOUSEMOTION:
        return event.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return event.button.windowID;
    case SDL_MOUSEWHEEL:
        return event.wheel.windowID;
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE:
        return event.drop.windowID;
    default:
        return 0;
    }
}

} // namespace

Application& Application::Instance() {
    static Application application;
    return application;
}

Application::Application() = default;

Application::~Application() {
    m_appearanceWatcher.reset();
    {
        std::lock_guard lock(m_taskMutex);
        m_tasks.clear();
        m_loopEnded = true;
    }
    if (m_initialized)
        SDL_Quit();
}

bool Application::Init(const ApplicationOptions& options) {
    if (m_initialized)
        return true;
    m_options = options;
    m_uiThread = std::this_thread::get_id();
    SDL_SetHint(SDL_HINT_VIDEODRIVER, options.dummyVideo ? "dummy" : "x11");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The first click on an inactive window also acts, as users expect.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // Frames go to the X server as shared-memory images; no GL renderer.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Leave the desktop's compositor alone.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // Long compositions arrive whole (SDL_TEXTEDITING_EXT).
    SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
    SDL_SetHint(SDL_HINT_APP_NAME, options.appTitle.c_str());
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        return false;
    if (!options.dummyVideo)
        X11::TolerateProtocolErrors();
    m_wakeEvent = SDL_RegisterEvents(1);
    if (m_wakeEvent == kNoEvent) {
        SDL_Quit();
        return false;
    }
    // Raw X events show where presses land while a popup holds the grab.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    SDL_EventState(SDL_DROPTEXT, SDL_ENABLE);
    SDL_EventState(SDL_DROPBEGIN, SDL_ENABLE);
    SDL_EventState(SDL_DROPCOMPLETE, SDL_ENABLE);
    SDL_StartTextInput();
    m_initialized = true;
    if (options.initGraphicsEarly)
        WarmUpText();
    if (options.watchAppearance && !options.dummyVideo) {
        m_appearanceWatcher =
            std::make_unique<AppearanceWatcher>([this] { Post([this] { RefreshThemes(); }); });
        m_appearanceWatcher->Start();
    }
    return true;
}

void Application::Post(Task task) {
    if (!task)
        return;
    bool wake = false;
    {
        std::lock_guard lock(m_taskMutex);
        if (m_loopEnded)
            return;
        wake = m_tasks.empty();
        m_tasks.push_back(std::move(task));
    }
    // One wake-up per batch: the loop takes every queued task in a pass.
    if (wake)
        Wake();
}

void Application::Wake() {
    if (!m_initialized || m_wakeEvent == kNoEvent)
        return;
    SDL_Event event{};
    event.type = m_wakeEvent;
    SDL_PushEvent(&event);
}

void Application::Quit(int exitCode) {
    m_exitCode.store(exitCode);
    m_quit.store(true);
    Wake();
}

int Application::Run() {
    ++m_runDepth;
    while (!m_quit.load())
        Pump(true);
    --m_runDepth;
    if (m_runDepth == 0) {
        // The quit request is used up; what is still queued, or posted from
        // now on, never runs.
        m_quit.store(false);
        std::lock_guard lock(m_taskMutex);
        m_loopEnded = true;
        m_tasks.clear();
    }
    return m_exitCode.load();
}

bool Application::RunUntil(const std::function<bool()>& predicate) {
    ++m_runDepth;
    bool reached = false;
    while (!m_quit.load()) {
        if (predicate()) {
            reached = true;
            break;
        }
        Pump(true);
    }
    --m_runDepth;
    // Once reached, a quit request still stands for the enclosing loops.
    return reached;
}

void Application::AddIdleHandler(IdleHandler handler) {
    if (handler)
        m_idleHandlers.push_back(std::move(handler));
}

void Application::RegisterWindow(Window& window, std::uint32_t nativeId) {
    UnregisterWindow(window);
    m_windows.push_back(Registered{&window, nativeId});
}

void Application::UnregisterWindow(Window& window) {
    std::erase_if(m_windows, [&](const Registered& r) { return r.window == &window; });
}

std::vector<Window*> Application::Windows() const {
    std::vector<Window*> windows;
    windows.reserve(m_windows.size());
    for (const Registered& r : m_windows)
        windows.push_back(r.window);
    return windows;
}

Window* Application::WindowForId(std::uint32_t nativeId) const {
    for (const Registered& r : m_windows)
        if (r.nativeId == nativeId)
            return r.window;
    return nullptr;
}

bool Application::IsWatchingAppearance() const {
    return m_appearanceWatcher != nullptr && m_appearanceWatcher->IsListening();
}

void Application::RefreshThemes() {
    // Popups take their owner's theme, so owners go first.
    for (const bool popups : {false, true})
        for (Window* window : Windows())
            if (window->IsPopup() == popups)
                window->RefreshTheme();
}

void Application::Pump(bool mayWait) {
    if (!m_initialized)
        return;
    bool busy = false;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        Dispatch(event);
        busy = true;
    }
    busy = RunTasks() || busy;
    busy = FireTimers() || busy;
    PaintWindows();
    if (busy || m_quit.load())
        return;
    if (RunIdleHandlers())
        return;
    if (!mayWait)
        return;
    std::optional<int> timeout = NextTimeoutMs();
    if (FramePending())
        timeout = std::min(timeout.value_or(kFrameMs), kFrameMs);
    if (timeout && *timeout <= 0)
        return;
    if (SDL_WaitEventTimeout(&event, timeout.value_or(kMaxWaitMs)) != 0)
        Dispatch(event);
}

bool Application::FramePending() const {
    for (const Registered& r : m_windows)
        if (r.window->PaintPending() && r.window->IsShown())
            return true;
    return false;
}

std::optional<int> Application::NextTimeoutMs() const {
    std::optional<double> earliest;
    for (const Registered& r : m_windows)
        if (const std::optional<double> due = r.window->NativeTimerDue())
            earliest = earliest ? std::min(*earliest, *due) : *due;
    if (!earliest)
        return std::nullopt;
    const double ms = std::ceil((*earliest - MonotonicSeconds()) * 1000.0);
    return static_cast<int>(std::clamp(ms, 0.0, static_cast<double>(kMaxWaitMs)));
}

void Application::Dispatch(const SDL_Event& event) {
    if (event.type == m_wakeEvent)
        return;
    if (event.type == SDL_SYSWMEVENT) {
        DispatchSystemEvent(event);
        return;
    }
    if (FilterOutsideClick(event)) {
        if (event.type == SDL_DROPFILE || event.type == SDL_DROPTEXT)
            SDL_free(event.drop.file);
        return;
    }
    if (Window* window = WindowForId(WindowIdOf(event)))
        window->HandleEvent(event);
    if (event.type == SDL_DROPFILE || event.type == SDL_DROPTEXT)
        SDL_free(event.drop.file);
}

void Application::DispatchSystemEvent(const SDL_Event& event) {
    if (TheSystemClipboard().HandleSystemEvent(event))
        return;
    const std::optional<X11::ScreenPress> press = X11::ButtonPressOf(event);
    if (!press)
        return;
    std::vector<Window*> closing;
    for (Window* window : Windows()) {
        if (!window->IsPopup() || !window->IsShown())
            continue;
        // A press inside any open popup (a submenu, say) closes none.
        if (window->ClientScreenBounds().Contains(press->x, press->y))
            return;
        if (window->ClosesOnOutsideClick())
            closing.push_back(window);
    }
    if (closing.empty())
        return;
    // The press that closes the popups does nothing else.
    m_swallowPress = static_cast<std::uint8_t>(press->button);
    for (Window* window : closing)
        window->DismissByOutsideClick();
}

bool Application::FilterOutsideClick(const SDL_Event& event) {
    if (event.type == SDL_MOUSEBUTTONDOWN && m_swallowPress &&
        event.button.button == *m_swallowPress) {
        m_swallowPress.reset();
        m_swallowRelease = event.button.button;
        return true;
    }
    if (event.type == SDL_MOUSEBUTTONUP && m_swallowRelease &&
        event.button.button == *m_swallowRelease) {
        m_swallowRelease.reset();
        return true;
    }
    return false;
}

bool Application::RunTasks() {
    std::vector<Task> tasks;
    {
        std::lock_guard lock(m_taskMutex);
        tasks.swap(m_tasks);
    }
    // Tasks these post wait for the next pass.
    for (Task& task : tasks)
        task();
    return !tasks.empty();
}

bool Application::FireTimers() {
    const double now = MonotonicSeconds();
    bool fired = false;
    for (Window* window : Windows()) {
        // An earlier timer's callback may have closed this window.
        if (WindowForId(window->NativeId()) != window)
            continue;
        const std::optional<double> due = window->NativeTimerDue();
        if (due && *due <= now) {
            window->FireNativeTimer();
            fired = true;
        }
    }
    return fired;
}

void Application::PaintWindows() {
    for (Window* window : Windows())
        if (WindowForId(window->NativeId()) == window)
            window->PaintIfPending();
}

bool Application::RunIdleHandlers() {
    bool again = false;
    // Handlers added while these run join in the next pass.
    const std::size_t count = m_idleHandlers.size();
    for (std::size_t i = 0; i < count; ++i) {
        const IdleHandler handler = m_idleHandlers[i];
        again = handler() || again;
    }
    return again;
}

} // namespace Velto::Widget
