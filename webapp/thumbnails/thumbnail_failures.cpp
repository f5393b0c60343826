#include "webapp/thumbnails/thumbnail_failures.h"

#include <algorithm>

namespace Velto::Corvane {

std::optional<ThumbnailFailures::Attempt> ThumbnailFailures::Begin(const FileVersion& version,
                                                                   std::uint64_t now) {
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [&] { return !m_running.contains(version); });
    if (const auto found = m_failedUntil.find(version); found != m_failedUntil.end()) {
        if (now < found->second)
            return std::nullopt;
        m_failedUntil.erase(found);
    }
    m_running.insert(version);
    return std::optional<Attempt>(std::in_place, *this, version);
}

void ThumbnailFailures::Remember(const FileVersion& version, std::uint64_t now) {
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_failedUntil, [&](const auto& item) { return item.second <= now; });
    // Full of failures still remembered: the one ending soonest makes room.
    if (m_failedUntil.size() >= kMaxRemembered) {
        const auto soonest =
            std::min_element(m_failedUntil.begin(), m_failedUntil.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        m_failedUntil.erase(soonest);
    }
    m_failedUntil.insert_or_assign(version, now + kMemoryMs);
}

void ThumbnailFailures::Finish(const FileVersion& version) {
    {
        const std::lock_guard lock(m_mutex);
        m_running.erase(version);
    }
    m_finished.notify_all();
}

std::size_t ThumbnailFailures::Remembered() const {
    const std::lock_guard lock(m_mutex);
    return m_failedUntil.size();
}

} // namespace Velto::Corvane
