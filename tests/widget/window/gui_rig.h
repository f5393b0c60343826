#pragma once

// What the window tests share: one private X server with a window manager
// and a private session bus for the whole test program (the toolkit's
// Application binds to one display per process), a temporary home, helpers
// that run the UI loop until something happened, and a second X connection
// that looks at the windows as other programs see them.

#include "tests/support/temp_home.h"
#include "tests/support/wait_until.h"
#include "tests/support/xvfb_session.h"
#include "widget/core/widget.h"
#include "widget/render/canvas.h"
#include "widget/window/application.h"
#include "widget/window/monotonic_seconds.h"
#include "widget/window/window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace Velto::Widget::Testing {

// Generous: CI runs these on two busy cores.
constexpr double kDeadlineSeconds = 20;

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        m_home = std::make_unique<Corvane::Testing::TempHome>();
        m_home->Set("XDG_RUNTIME_DIR", m_home->root);
        m_home->Set("GSETTINGS_BACKEND", "memory");
        m_home->Unset("XMODIFIERS");
        m_home->Unset("GTK_IM_MODULE");
        m_x = std::make_unique<Velto::Testing::XvfbSession>(
            Velto::Testing::XvfbOptions{.windowManager = true, .sessionBus = true});
        ASSERT_TRUE(m_x->Start()) << "no private X server";
        ApplicationOptions options;
        options.appName = "VeltoTest";
        ASSERT_TRUE(Application::Instance().Init(options));
        s_x = m_x.get();
    }
    void TearDown() override {
        s_x = nullptr;
        // The server goes with the process; SDL keeps its connection until
        // exit.
        m_x.release();
    }

    static Velto::Testing::XvfbSession& X() { return *s_x; }

private:
    std::unique_ptr<Corvane::Testing::TempHome> m_home;
    std::unique_ptr<Velto::Testing::XvfbSession> m_x;
    static inline Velto::Testing::XvfbSession* s_x{nullptr};
};

// Runs the UI loop until the condition holds or the deadline passes. The
// loop is woken every few milliseconds, so that conditions on things outside
// it (the X server as another program sees it) are checked often.
inline bool PumpUntil(const std::function<bool()>& condition, double seconds = kDeadlineSeconds) {
    const double deadline = MonotonicSeconds() + seconds;
    std::atomic<bool> stop{false};
    std::thread ticker([&stop] {
        while (!stop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            Application::Instance().Wake();
        }
    });
    Application::Instance().RunUntil([&] { return condition() || MonotonicSeconds() > deadline; });
    stop = true;
    ticker.join();
    return condition();
}

// Runs the loop for a while (lets events arrive that nothing waits for).
inline void PumpFor(double seconds) {
    const double until = MonotonicSeconds() + seconds;
    PumpUntil([until] { return MonotonicSeconds() >= until; }, seconds + 1);
}

// Runs a command against the private display; its trimmed output.
inline std::string Command(const std::vector<std::string>& argv) {
    std::string out = GuiEnvironment::X().Run(argv).out;
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

// Runs commands on another thread while the UI loop goes on (xdotool waits
// for nothing of ours, but the loop must keep answering the server).
class Driver {
public:
    explicit Driver(std::function<void()> steps)
        : m_thread([steps = std::move(steps), this] {
              steps();
              m_done = true;
              Application::Instance().Wake();
          }) {}
    ~Driver() { m_thread.join(); }
    bool Done() const { return m_done.load(); }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Polls on the calling (non-UI) thread until the condition holds.
inline bool WaitOnThread(const std::function<bool()>& condition,
                         double seconds = kDeadlineSeconds) {
    return Velto::Testing::WaitUntil(condition,
                                     std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::duration<double>(seconds)),
                                     std::chrono::milliseconds(20));
}

inline unsigned long FocusedXWindow() {
    const std::string out = Command({"xdotool", "getwindowfocus"});
    return out.empty() ? 0 : std::strtoul(out.c_str(), nullptr, 10);
}

// A second connection to the display, as another program.
class XLook {
public:
    XLook() : m_display(XOpenDisplay(nullptr)) {}
    ~XLook() {
        if (m_display != nullptr)
            XCloseDisplay(m_display);
    }
    XLook(const XLook&) = delete;
    XLook& operator=(const XLook&) = delete;

    ::Display* Get() const { return m_display; }

    struct Rgb {
        int r{0};
        int g{0};
        int b{0};
        friend bool operator==(const Rgb&, const Rgb&) = default;
    };
    // The pixels of the window as on the screen; none when unreadable.
    std::optional<std::vector<Rgb>> Pixels(unsigned long window, int& width, int& height) const {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(m_display, window, &attributes) == 0)
            return std::nullopt;
        width = attributes.width;
        height = attributes.height;
        XImage* image = XGetImage(m_display, window, 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (image == nullptr)
            return std::nullopt;
        std::vector<Rgb> pixels;
        pixels.reserve(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                pixels.push_back(Rgb{static_cast<int>((p >> 16) & 0xFF),
                                     static_cast<int>((p >> 8) & 0xFF),
                                     static_cast<int>(p & 0xFF)});
            }
        XDestroyImage(image);
        return pixels;
    }
    std::optional<Rgb> PixelAt(unsigned long window, int x, int y) const {
        int width = 0;
        int height = 0;
        const auto pixels = Pixels(window, width, height);
        if (!pixels || x < 0 || y < 0 || x >= width || y >= height)
            return std::nullopt;
        return (*pixels)[static_cast<std::size_t>(y) * width + x];
    }
    // What a window manager sends when the close box is clicked.
    void SendDeleteWindow(unsigned long window) const {
        XEvent event;
        std::memset(&event, 0, sizeof(event));
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, window, False, NoEventMask, &event);
        XFlush(m_display);
    }
    bool IsOnScreen(unsigned long window) const {
        XWindowAttributes attributes;
        return XGetWindowAttributes(m_display, window, &attributes) != 0 &&
               attributes.map_state == IsViewable;
    }
    bool IsOverrideRedirect(unsigned long window) const {
        XWindowAttributes attributes;
        return XGetWindowAttributes(m_display, window, &attributes) != 0 &&
               attributes.override_redirect == True;
    }

private:
    ::Display* m_display{nullptr};
};

inline XLook::Rgb ToRgb(Color color) {
    const auto channel = [](float v) { return static_cast<int>(std::lround(v * 255.0f)); };
    return XLook::Rgb{channel(color.r), channel(color.g), channel(color.b)};
}

inline WindowOptions Options(std::u16string title, float width, float height) {
    WindowOptions options;
    options.title = std::move(title);
    options.width = width;
    options.height = height;
    return options;
}

// A focusable widget that records what reaches it.
class Probe : public Widget {
public:
    explicit Probe(float width = 40, float height = 24, bool allowsIme = false)
        : m_allowsIme(allowsIme) {
        SetWidth(width);
        SetHeight(height);
    }
    bool CanFocus() const override { return true; }
    bool TakesHitsItself() const override { return true; }
    bool AllowsIme() const override { return m_allowsIme; }
    bool OnChar(const CharEvent& event) override {
        text.push_back(static_cast<char16_t>(event.character));
        return true;
    }
    bool OnIme(const ImeEvent& event) override {
        imeKinds.push_back(event.kind);
        return true;
    }
    bool OnKeyDown(const KeyEvent& event) override {
        keys.push_back(event.virtualKey);
        return false;
    }
    bool OnPointerDown(const PointerEvent&) override {
        ++presses;
        return true;
    }
    void OnFocusChanged(bool focused) override { hasFocus = focused; }
    void SetFill(Color color) { m_fill = color; }

    std::u16string text;
    std::vector<ImeEventKind> imeKinds;
    std::vector<std::uint32_t> keys;
    int presses{0};
    bool hasFocus{false};

protected:
    void Draw(Canvas& canvas) override {
        if (m_fill.a > 0)
            canvas.FillRect(RectF{0, 0, ActualWidth(), ActualHeight()}, m_fill);
    }

private:
    bool m_allowsIme{false};
    Color m_fill{0, 0, 0, 0};
};

} // namespace Velto::Widget::Testing
