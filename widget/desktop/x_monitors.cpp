#include "widget/desktop/x_monitors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

namespace Velto::Widget::Kit {
namespace {

constexpr std::uint32_t kDefaultDpi = 96;
// Beyond any real screen; a value outside is a broken setting.
constexpr double kMinDpi = 24;
constexpr double kMaxDpi = 2000;
// _NET_WORKAREA holds four numbers per desktop; desktops beyond this are
// not looked at.
constexpr long kMaxWorkAreaLongs = 4 * 64;

struct XFreeDeleter {
    void operator()(void* p) const { XFree(p); }
};
struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
struct MonitorsFreer {
    void operator()(XRRMonitorInfo* monitors) const { XRRFreeMonitors(monitors); }
};

// The CARDINAL values of a root window property; empty when absent.
std::vector<long> CardinalProperty(Display* display, Window root, const char* name, long maxLongs) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None)
        return {};
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, root, atom, 0, maxLongs, False, XA_CARDINAL, &type, &format,
                           &count, &after, &raw) != Success)
        return {};
    std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    if (type != XA_CARDINAL || format != 32 || raw == nullptr)
        return {};
    // Format-32 data comes as longs, whatever the size of long.
    const auto* values = reinterpret_cast<const long*>(raw);
    return std::vector<long>(values, values + count);
}

std::optional<ScreenRect> WorkArea(Display* display, Window root) {
    const std::vector<long> areas =
        CardinalProperty(display, root, "_NET_WORKAREA", kMaxWorkAreaLongs);
    if (areas.size() < 4)
        return std::nullopt;
    std::size_t desktop = 0;
    const std::vector<long> current = CardinalProperty(display, root, "_NET_CURRENT_DESKTOP", 1);
    if (current.size() == 1 && current[0] >= 0 &&
        static_cast<std::size_t>(current[0]) * 4 + 4 <= areas.size())
        desktop = static_cast<std::size_t>(current[0]);
    const long* area = areas.data() + desktop * 4;
    if (area[2] <= 0 || area[3] <= 0)
        return std::nullopt;
    return ScreenRect{static_cast<int>(area[0]), static_cast<int>(area[1]),
                      static_cast<int>(area[0] + area[2]), static_cast<int>(area[1] + area[3])};
}

std::uint32_t DisplayDpi(Display* display) {
    const char* resources = XResourceManagerString(display);
    if (resources == nullptr)
        return kDefaultDpi;
    return XftDpi(resources).value_or(kDefaultDpi);
}

} // namespace

std::optional<std::uint32_t> XftDpi(std::string_view resources) {
    constexpr std::string_view kKey = "Xft.dpi:";
    std::size_t start = 0;
    while (start < resources.size()) {
        std::size_t end = resources.find('\n', start);
        if (end == std::string_view::npos)
            end = resources.size();
        std::string_view line = resources.substr(start, end - start);
        start = end + 1;
        if (line.substr(0, kKey.size()) != kKey)
            continue;
        line.remove_prefix(kKey.size());
        const std::string value(line);
        char* parsedEnd = nullptr;
        const double dpi = std::strtod(value.c_str(), &parsedEnd);
        while (parsedEnd != nullptr && (*parsedEnd == ' ' || *parsedEnd == '\t'))
            ++parsedEnd;
        if (parsedEnd == value.c_str() || parsedEnd == nullptr || *parsedEnd != '\0' ||
            !(dpi >= kMinDpi && dpi <= kMaxDpi))
            return std::nullopt;
        return static_cast<std::uint32_t>(std::lround(dpi));
    }
    return std::nullopt;
}

std::vector<MonitorInfo> ReadMonitors(Display* display) {
    std::vector<MonitorInfo> entries;
    if (display == nullptr)
        return entries;
    const Window root = DefaultRootWindow(display);
    const std::uint32_t dpi = DisplayDpi(display);
    const std::optional<ScreenRect> workArea = WorkArea(display, root);

    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    int count = 0;
    std::unique_ptr<XRRMonitorInfo, MonitorsFreer> monitors;
    // Monitors came with RandR 1.5.
    if (XRRQueryExtension(display, &eventBase, &errorBase) &&
        XRRQueryVersion(display, &major, &minor) && (major > 1 || (major == 1 && minor >= 5)))
        monitors.reset(XRRGetMonitors(display, root, True, &count));

    for (int i = 0; monitors && i < count; ++i) {
        const XRRMonitorInfo& m = monitors.get()[i];
        if (m.width <= 0 || m.height <= 0)
            continue;
        MonitorInfo entry;
        entry.handle = m.name;
        entry.monitor = {m.x, m.y, m.x + m.width, m.y + m.height};
        entry.isPrimary = m.primary != 0;
        entry.dpi = dpi;
        if (m.name != None) {
            std::unique_ptr<char, XFreeDeleter> name(XGetAtomName(display, m.name));
            if (name)
                entry.name = name.get();
        }
        entries.push_back(std::move(entry));
    }
    if (entries.empty()) {
        // No RandR monitors: the screen is one monitor.
        MonitorInfo entry;
        const int screen = DefaultScreen(display);
        entry.monitor = {0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
        entry.isPrimary = true;
        entry.dpi = dpi;
        entry.name = "screen";
        entries.push_back(std::move(entry));
    }
    for (MonitorInfo& entry : entries) {
        const ScreenRect free = workArea ? entry.monitor.Intersection(*workArea) : ScreenRect{};
        entry.workArea = free.IsEmpty() ? entry.monitor : free;
    }
    return entries;
}

std::vector<MonitorInfo> ReadMonitorsOfDefaultDisplay() {
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display)
        return {};
    return ReadMonitors(display.get());
}

} // namespace Velto::Widget::Kit
