#include "tests/support/xvfb_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace Velto::Testing {
namespace {

// Where Xvfb writes the display number it chose, and dbus-daemon its
// address.
constexpr int kReadyFd = 3;
// Generous: CI starts these on two busy cores.
constexpr int kStartMs = 30'000;
constexpr int kStopMs = 5'000;
constexpr int kPollMs = 10;

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineIn(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

// Forks a child that dies with this process. `prepare` runs in the child
// before exec (descriptor set-up); stdout and stderr go to /dev/null unless
// `prepare` redirects them.
template <typename Prepare>
pid_t SpawnChild(const std::vector<std::string>& argv, Prepare prepare) {
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid < 0 ? 0 : pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    prepare();
    ::execvp(args[0], args.data());
    ::_exit(127);
}

// Asks a child to stop, then kills it when it does not.
void StopChild(pid_t& pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    const auto deadline = DeadlineIn(kStopMs);
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            break;
        }
        ::usleep(kPollMs * 1000);
    }
    pid = 0;
}

} // namespace

XvfbSession::XvfbSession(XvfbOptions options) : m_options(std::move(options)) {}

// Reads what a starting child writes to the pipe, up to the first newline.
static std::string ReadFirstLine(int fd) {
    std::string line;
    char buffer[256];
    pollfd waiting{fd, POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&waiting, 1, kStartMs) > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t end = line.find('\n');
    return end == std::string::npos ? std::string{} : line.substr(0, end);
}

XvfbSession::~XvfbSession() {
    StopChild(m_windowManager);
    StopChild(m_bus);
    StopChild(m_server);
    if (!m_busFolder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_busFolder, ignored);
    }
    for (const auto& [name, value] : m_savedEnv) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
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
    if (m_server > 0)
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
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return false;
    const std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(kReadyFd),
                                           "-screen",   "0",          m_options.screen,
                                           "-nolisten", "tcp",        "-noreset"};
    m_server = SpawnChild(argv, [&] { ::dup2(ready[1], kReadyFd); });
    ::close(ready[1]);
    if (m_server <= 0) {
        ::close(ready[0]);
        return false;
    }
    const std::string number = ReadFirstLine(ready[0]);
    ::close(ready[0]);
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
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-xbus-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return false;
    m_busFolder = pattern;
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return false;
    const std::vector<std::string> argv = {"dbus-daemon",
                                           "--session",
                                           "--nofork",
                                           "--nopidfile",
                                           "--address=unix:path=" + m_busFolder + "/bus",
                                           "--print-address=" + std::to_string(kReadyFd)};
    m_bus = SpawnChild(argv, [&] { ::dup2(ready[1], kReadyFd); });
    ::close(ready[1]);
    if (m_bus <= 0) {
        ::close(ready[0]);
        return false;
    }
    m_busAddress = ReadFirstLine(ready[0]);
    ::close(ready[0]);
    if (m_busAddress.empty())
        return false;
    SetEnv("DBUS_SESSION_BUS_ADDRESS", m_busAddress);
    return true;
}

bool XvfbSession::StartWindowManager() {
    m_windowManager = SpawnChild({"openbox", "--sm-disable"}, [] {});
    return m_windowManager > 0 && WaitForWindowManager();
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
    const ::Window probe = ::XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 8, 8,
                                                 0, 0, 0);
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
    CommandOutput result;
    if (argv.empty())
        return result;
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0)
        return result;
    pid_t pid = SpawnChild(argv, [&] { ::dup2(output[1], STDOUT_FILENO); });
    ::close(output[1]);
    if (pid <= 0) {
        ::close(output[0]);
        return result;
    }
    const auto deadline = DeadlineIn(timeoutMs);
    bool timedOut = false;
    char buffer[4096];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd waiting{output[0], POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
            continue;
        const ssize_t n = ::read(output[0], buffer, sizeof(buffer));
        if (n <= 0)
            break;
        result.out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(output[0]);
    if (timedOut) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return result;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
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
