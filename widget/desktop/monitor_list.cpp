#include "widget/desktop/monitor_list.h"

#include "widget/desktop/x_monitors.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace Velto::Widget::Kit {

MonitorList::MonitorList() : m_entries(ReadMonitorsOfDefaultDisplay()) {
    Arrange();
}

MonitorList::MonitorList(Display* display) : m_entries(ReadMonitors(display)) {
    Arrange();
}

MonitorList::MonitorList(std::vector<MonitorInfo> entries) : m_entries(std::move(entries)) {
    Arrange();
}

void MonitorList::Arrange() {
    std::stable_partition(m_entries.begin(), m_entries.end(),
                          [](const MonitorInfo& m) { return m.isPrimary; });
    m_union = {};
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const ScreenRect& r = m_entries[i].monitor;
        if (i == 0) {
            m_union = r;
            continue;
        }
        m_union.left = std::min(m_union.left, r.left);
        m_union.top = std::min(m_union.top, r.top);
        m_union.right = std::max(m_union.right, r.right);
        m_union.bottom = std::max(m_union.bottom, r.bottom);
    }
}

const MonitorInfo* MonitorList::NearestMonitor(ScreenPoint point) const {
    const MonitorInfo* nearest = nullptr;
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (const MonitorInfo& entry : m_entries) {
        const ScreenRect& r = entry.monitor;
        // Right and bottom are exclusive: a point at x = right is 1 away.
        std::int64_t dx = 0;
        std::int64_t dy = 0;
        if (point.x < r.left)
            dx = static_cast<std::int64_t>(r.left) - point.x;
        else if (point.x >= r.right)
            dx = static_cast<std::int64_t>(point.x) - r.right + 1;
        if (point.y < r.top)
            dy = static_cast<std::int64_t>(r.top) - point.y;
        else if (point.y >= r.bottom)
            dy = static_cast<std::int64_t>(point.y) - r.bottom + 1;
        const std::int64_t distance = dx * dx + dy * dy;
        if (distance < best) {
            best = distance;
            nearest = &entry;
        }
    }
    return nearest;
}

const MonitorInfo* MonitorList::PrimaryMonitor() const {
    for (const MonitorInfo& entry : m_entries) {
        if (entry.isPrimary)
            return &entry;
    }
    return m_entries.empty() ? nullptr : &m_entries.front();
}

} // namespace Velto::Widget::Kit
