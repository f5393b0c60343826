// The monitors of a private X server (Xvfb), with monitors, a work area and
// a DPI set the way a desktop sets them.
#include "widget/desktop/monitor_list.h"

#include "tests/support/temp_home.h"
#include "tests/support/xvfb_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <gtest/gtest.h>

#include <cstring>

namespace Velto::Widget::Kit {
namespace {

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
    Velto::Testing::XvfbSession server({.screen = "1600x900x24"});
    ASSERT_TRUE(server.Start());
    home.Set("DISPLAY", server.Display());

    Display* setup = XOpenDisplay(server.Display().c_str());
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
