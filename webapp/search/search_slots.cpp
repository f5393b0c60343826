#include "webapp/search/search_slots.h"

namespace Velto::Corvane {

SearchSlots::Held SearchSlots::TryTake(std::string_view address) {
    const std::lock_guard lock(m_mutex);
    auto found = m_running.find(address);
    if (found == m_running.end())
        found = m_running.emplace(std::string(address), 0).first;
    if (found->second >= m_perAddress)
        return Held(nullptr, {});
    ++found->second;
    return Held(this, std::string(address));
}

void SearchSlots::Release(const std::string& address) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_running.find(address);
    if (found == m_running.end())
        return;
    // An address without a running search holds no entry, so the map stays
    // as small as the number of addresses searching now.
    if (--found->second == 0)
        m_running.erase(found);
}

} // namespace Velto::Corvane
