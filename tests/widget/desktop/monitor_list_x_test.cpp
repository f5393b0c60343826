// The monitors of a private X server (Xvfb), with monitors, a work area and
// a DPI set the way a desktop sets them.
#include "widget/desktop/monitor_list.h"

#include "tests/support/temp_home.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace Velto::Widget::Kit {
namespace {

constexpr int kDisplayFd = 3;
constexpr int kServerStartMs = 30'000;

// A private X server, stopped on destruction.
class PrivateXServer {
public:
    ~PrivateXServer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    bool Start() {
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            // The server goes when this test goes, however it ends.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            ::dup2(ready[1], kDisplayFd);
            ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1600x900x24", "-nolisten",
                     "tcp", "-noreset", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        if (m_pid < 0) {
            m_pid = 0;
            ::close(ready[0]);
            return false;
        }
        std::string number;
        char buffer[32];
        pollfd waiting{ready[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && ::poll(&waiting, 1, kServerStartMs) > 0) {
            const ssize_t n = ::read(ready[0], buffer, sizeof(buffer));
            if (n <= 0)
                break;
            number.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(ready[0]);
        if (number.find('\n') == std::string::npos)
            return false;
        m_display = ":" + number.substr(0, number.find('\n'));
        return true;
    }

    const std::string& Name() const { return m_display; }

private:
    pid_t m_pid{0};
    std::string m_display;
};

void SetCardinals(Display* display, const char* name, const std::vector<long>& values) {
    XChangeProperty(display, DefaultRootWindow(display), XInternAtom(display, name, False),
                    XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()),
                    static_cast<int>(values.size()));
}

void AddMonitor(Display* display, const char* name, int x, int y, int width, int height,
                bool primary) {
    XRRMonitorInfo monitor{};
    monitor.name = XInternAtom(display, name, False);
    monitor.primary = primary;
    monitor.x = x;
    monitor.y = y;
    monitor.width = width;
    monitor.height = height;
    monitor.mwidth = width / 4;
    monitor.mheight = height / 4;
    XRRSetMonitor(display, DefaultRootWindow(display), &monitor);
}

TEST(MonitorListXTest, MonitorsWorkAreaAndDpiOfTheDisplay) {
    Corvane::Testing::TempHome home;
    home.Unset("WAYLAND_DISPLAY");
    PrivateXServer server;
    ASSERT_TRUE(server.Start());
    home.Set("DISPLAY", server.Name());

    Display* setup = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(setup, nullptr);
    // Without anything set: the screen as one monitor at 96 DPI.
    {
        const MonitorList plain(setup);
        ASSERT_EQ(plain.Entries().size(), 1u);
        EXPECT_EQ(plain.Entries()[0].monitor, (ScreenRect{0, 0, 1600, 900}));
        EXPECT_EQ(plain.Entries()[0].workArea, plain.Entries()[0].monitor);
        EXPECT_EQ(plain.Entries()[0].dpi, 96u);
    }

    // Two monitors side by side, the right one primary; a panel of 40
    // pixels at the top of the desktop on the second of two desktops.
    AddMonitor(setup, "LEFT", 0, 0, 800, 900, false);
    AddMonitor(setup, "RIGHT", 800, 100, 800, 800, true);
    SetCardinals(setup, "_NET_WORKAREA", {0, 0, 1600, 900, 0, 40, 1600, 860});
    SetCardinals(setup, "_NET_CURRENT_DESKTOP", {1});
    const char* resources = "Xft.dpi:\t144\nXft.antialias:\t1\n";
    XChangeProperty(setup, DefaultRootWindow(setup), XA_RESOURCE_MANAGER, XA_STRING, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(resources),
                    static_cast<int>(std::strlen(resources)));
    XSync(setup, False);

    // The list opens $DISPLAY itself.
    const MonitorList list;
    // Besides the server's own monitor of its one output.
    ASSERT_EQ(list.Entries().size(), 3u);
    auto named = [&](std::string_view name) {
        for (const MonitorInfo& entry : list.Entries()) {
            if (entry.name == name)
                return &entry;
        }
        return static_cast<const MonitorInfo*>(nullptr);
    };
    ASSERT_TRUE(named("LEFT") && named("RIGHT"));
    const MonitorInfo& primary = list.Entries()[0];
    EXPECT_EQ(primary.name, "RIGHT");
    EXPECT_TRUE(primary.isPrimary);
    EXPECT_EQ(primary.monitor, (ScreenRect{800, 100, 1600, 900}));
    // The panel does not reach this monitor: its work area is all of it.
    EXPECT_EQ(primary.workArea, primary.monitor);
    EXPECT_EQ(primary.dpi, 144u);
    const MonitorInfo& left = *named("LEFT");
    EXPECT_FALSE(left.isPrimary);
    EXPECT_EQ(left.workArea, (ScreenRect{0, 40, 800, 900}));
    EXPECT_EQ(list.Union(), (ScreenRect{0, 0, 1600, 900}));
    EXPECT_EQ(list.NearestMonitor({799, 50})->name, "LEFT");
    EXPECT_EQ(list.NearestMonitor({900, 500})->name, "RIGHT");
    XCloseDisplay(setup);

    // No display at all: no monitors.
    home.Set("DISPLAY", ":999");
    EXPECT_TRUE(MonitorList().IsEmpty());
}

} // namespace
} // namespace Velto::Widget::Kit
