#include "webapp/links/link_use_counter.h"

namespace Velto::Corvane {

void LinkUseCounter::Count(const std::string& linkId) {
    const std::lock_guard lock(m_mutex);
    ++m_pending[linkId];
}

std::uint64_t LinkUseCounter::Pending(std::string_view linkId) const {
    const std::lock_guard lock(m_mutex);
    const auto found = m_pending.find(linkId);
    return found != m_pending.end() ? found->second : 0;
}

std::map<std::string, std::uint64_t> LinkUseCounter::Take(std::uint64_t now, bool force) {
    const std::lock_guard lock(m_mutex);
    if (m_pending.empty() || (!force && now < m_lastTake + kWriteIntervalMs))
        return {};
    m_lastTake = now;
    std::map<std::string, std::uint64_t> taken(m_pending.begin(), m_pending.end());
    m_pending.clear();
    return taken;
}

void LinkUseCounter::PutBack(const std::map<std::string, std::uint64_t>& uses) {
    const std::lock_guard lock(m_mutex);
    for (const auto& [id, count] : uses)
        m_pending[id] += count;
}

} // namespace Velto::Corvane
