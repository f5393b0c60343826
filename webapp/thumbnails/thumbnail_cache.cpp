#include "webapp/thumbnails/thumbnail_cache.h"

namespace Velto::Corvane {

std::optional<std::string> ThumbnailCache::Get(std::string_view path, std::string_view tag,
                                               std::uint32_t pixels, const Maker& make) {
    std::string key;
    key.reserve(path.size() + tag.size() + 12);
    key.append(path).append("|").append(tag).append("|").append(std::to_string(pixels));
    {
        const std::lock_guard lock(m_mutex);
        if (const auto found = m_index.find(key); found != m_index.end()) {
            m_recency.splice(m_recency.begin(), m_recency, found->second);
            return found->second->jpeg;
        }
    }

    std::optional<std::string> made = make();
    if (!made || made->size() > m_budget / 4)
        return made;

    const std::lock_guard lock(m_mutex);
    if (m_index.contains(key))
        return made;
    m_recency.push_front(Entry{key, *made});
    m_index.emplace(std::move(key), m_recency.begin());
    m_used += made->size();
    while (m_used > m_budget && !m_recency.empty()) {
        const Entry& oldest = m_recency.back();
        m_used -= oldest.jpeg.size();
        m_index.erase(oldest.key);
        m_recency.pop_back();
    }
    return made;
}

std::uint64_t ThumbnailCache::Used() const {
    const std::lock_guard lock(m_mutex);
    return m_used;
}

} // namespace Velto::Corvane
