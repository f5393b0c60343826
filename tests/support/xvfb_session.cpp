#include "tests/support/xvfb_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace Velto::Testing {
namespace {

// Where Xvfb writes the display number it chose.
constexpr int kReadyFd = 3;
// Generous: CI starts these on two busy cores.
constexpr int kStartMs = 30'000;
constexpr int kStopMs = 5'000;
constexpr int kPollMs = 10;
// Exit codes from 128 up stand for a signal that ended the command.
constexpr int kKilledExitCode = 128;

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineIn(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

// The children of the session; each is asked to stop, then killed when it
// does not.
ChildOptions SessionChild() {
    return {.output = ChildOptions::Stream::Null,
            .errors = ChildOptions::Errors::Null,
            .stopSignal = SIGTERM,
            .stopGrace = std::chrono::milliseconds(kStopMs)};
}

} // namespace

XvfbSession::XvfbSession(XvfbOptions options) : m_options(std::move(options)) {}

XvfbSession::~XvfbSession() {
    m_windowManager.Stop();
    m_bus.reset();
    m_server.Stop();
    for (const auto& [name, value] : m_savedEnv) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}

const std::string& XvfbSession::BusAddress() const {
    static const std::string none;
    return m_bus ? m_bus->Address() : none;
}

void XvfbSession::SetEnv(const std::string& name, const std::optional<std::string>& value) {
    if (!m_savedEnv.contains(name)) {
        const char* previous = std::getenv(name.c_str());
        m_savedEnv[name] = previous ? std::optional<std::string>(previous) : std::nullopt;
    }
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

bool XvfbSession::Start() {
    if (m_server.Started())
        return false;
    // Nothing of the developer's desktop may leak in.
    SetEnv("WAYLAND_DISPLAY", std::nullopt);
    SetEnv("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    SetEnv("XAUTHORITY", std::nullopt);
    if (!StartServer())
        return false;
    SetEnv("DISPLAY", m_display);
    if (m_options.sessionBus && !StartBus())
        return false;
    if (m_options.windowManager && !StartWindowManager())
        return false;
    return true;
}

bool XvfbSession::StartServer() {
    ChildOptions options = SessionChild();
    options.noticeFd = kReadyFd;
    m_server = ChildProcess({"Xvfb", "-displayfd", std::to_string(kReadyFd), "-screen", "0",
                             m_options.screen, "-nolisten", "tcp", "-noreset"},
                            std::move(options));
    const std::string number = m_server.ReadNotice(std::chrono::milliseconds(kStartMs));
    if (number.empty())
        return false;
    m_display = ":" + number;

    // The number is written once the server listens; still make sure a client
    // gets through before the test starts.
    const auto deadline = DeadlineIn(kStartMs);
    while (Clock::now() < deadline) {
        if (::Display* display = ::XOpenDisplay(m_display.c_str())) {
            ::XCloseDisplay(display);
            return true;
        }
        ::usleep(kPollMs * 1000);
    }
    return false;
}

bool XvfbSession::StartBus() {
    m_bus.emplace();
    return m_bus->Start();
}

bool XvfbSession::StartWindowManager() {
    m_windowManager = ChildProcess({"openbox", "--sm-disable"}, SessionChild());
    return m_windowManager.Started() && WaitForWindowManager();
}

// True once the root window names a window manager.
static bool NamesAWindowManager(::Display* display) {
    const Atom check = ::XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    bool named = false;
    if (::XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                             &type, &format, &count, &after, &data) == Success) {
        named = type == XA_WINDOW && count == 1;
        if (data)
            ::XFree(data);
    }
    return named;
}

// Maps a small window and waits until the window manager has put it on the
// screen. Openbox names itself before its event loop runs, and a map request
// made in that gap can be lost; a window that is never mapped would hang the
// test that shows it, so the session is ready only once a window really
// appears.
static bool ManagesAWindow(::Display* display, Clock::time_point deadline) {
    const ::Window probe =
        ::XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 8, 8, 0, 0, 0);
    bool shown = false;
    while (!shown && Clock::now() < deadline) {
        ::XMapWindow(display, probe);
        ::XSync(display, False);
        const auto retry = std::min(deadline, DeadlineIn(1'000));
        while (!shown && Clock::now() < retry) {
            XWindowAttributes attributes;
            shown = ::XGetWindowAttributes(display, probe, &attributes) != 0 &&
                    attributes.map_state == IsViewable;
            if (!shown)
                ::usleep(kPollMs * 1000);
        }
    }
    ::XDestroyWindow(display, probe);
    ::XSync(display, False);
    return shown;
}

bool XvfbSession::WaitForWindowManager() const {
    ::Display* display = ::XOpenDisplay(m_display.c_str());
    if (!display)
        return false;
    const auto deadline = DeadlineIn(kStartMs);
    bool named = NamesAWindowManager(display);
    while (!named && Clock::now() < deadline) {
        ::usleep(kPollMs * 1000);
        named = NamesAWindowManager(display);
    }
    const bool managed = named && ManagesAWindow(display, deadline);
    ::XCloseDisplay(display);
    return managed;
}

CommandOutput XvfbSession::Run(const std::vector<std::string>& argv, int timeoutMs) const {
    ChildProcess child(argv, {.errors = ChildOptions::Errors::Null});
    if (!child.Started())
        return {};
    const int exitCode = child.Wait(std::chrono::milliseconds(timeoutMs));
    // A killed command has no exit status.
    return {.status = exitCode < kKilledExitCode ? exitCode : -1, .out = child.Output()};
}

bool XvfbSession::MergeResources(const std::string& resources) const {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-xrdb-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return false;
    ::close(fd);
    {
        std::ofstream file(pattern);
        file << resources << '\n';
    }
    // -nocpp: the resources are taken as written, and no C preprocessor is
    // needed on the machine.
    const bool merged = Run({"xrdb", "-nocpp", "-merge", pattern}).status == 0;
    std::filesystem::remove(pattern);
    return merged;
}

} // namespace Velto::Testing
