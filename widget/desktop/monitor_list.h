#pragma once

#include "widget/desktop/screen_point.h"
#include "widget/desktop/screen_rect.h"

#include <cstdint>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace Velto::Widget::Kit {

struct MonitorInfo {
    // Identifies the monitor while the display lives (its name's atom).
    std::uint64_t handle{0};
    ScreenRect monitor;
    // The part of the monitor that panels and docks leave free.
    ScreenRect workArea;
    // The desktop's font DPI (Xft.dpi), 96 when it sets none.
    std::uint32_t dpi{96};
    bool isPrimary{false};
    std::string name;
};

// The monitors of an X display, primary ones first.
class MonitorList {
public:
    // The monitors of $DISPLAY; none when it cannot be opened.
    MonitorList();
    // The monitors of a display the caller keeps open.
    explicit MonitorList(Display* display);
    // A list of given monitors, put in the same order.
    explicit MonitorList(std::vector<MonitorInfo> entries);

    const std::vector<MonitorInfo>& Entries() const { return m_entries; }
    bool IsEmpty() const { return m_entries.empty(); }
    // The smallest rectangle holding every monitor (empty without monitors).
    const ScreenRect& Union() const { return m_union; }

    // The monitor nearest to the point (0 inside it), the earlier one on a
    // tie; none when there are no monitors.
    const MonitorInfo* NearestMonitor(ScreenPoint point) const;
    // The first primary monitor, else the first one.
    const MonitorInfo* PrimaryMonitor() const;

private:
    void Arrange();

    std::vector<MonitorInfo> m_entries;
    ScreenRect m_union;
};

} // namespace Velto::Widget::Kit
