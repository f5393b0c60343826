#pragma once

#include "widget/desktop/monitor_list.h"

#include <optional>
#include <string_view>
#include <vector>

namespace Velto::Widget::Kit {

// The monitors as XRandR reports them (XRRGetMonitors), each with its work
// area (_NET_WORKAREA of the current desktop intersected with the monitor,
// else the whole monitor) and the desktop's DPI. A display without RandR
// counts as one monitor of the screen's size. Not yet ordered.
std::vector<MonitorInfo> ReadMonitors(Display* display);
// The same for $DISPLAY, opened and closed here; none without a display.
std::vector<MonitorInfo> ReadMonitorsOfDefaultDisplay();

// The Xft.dpi value of a resource database text, rounded; none when it is
// missing or not a sane number.
std::optional<std::uint32_t> XftDpi(std::string_view resources);

} // namespace Velto::Widget::Kit
