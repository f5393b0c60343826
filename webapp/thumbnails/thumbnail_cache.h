#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace Velto::Corvane {

// Finished thumbnails (JPEG bytes) in memory, bounded by their total size and
// evicted least recently used first. A changed file has a new entity tag and
// so a new key; its old entry simply ages out.
class ThumbnailCache {
public:
    using Maker = std::function<std::optional<std::string>()>;

    explicit ThumbnailCache(std::uint64_t budget) : m_budget(budget) {}
    ThumbnailCache(const ThumbnailCache&) = delete;
    ThumbnailCache& operator=(const ThumbnailCache&) = delete;

    // The cached thumbnail of `path` at `tag` and `pixels`, or what `make`
    // returns, which is then kept unless it is larger than a quarter of the
    // budget. The lock is never held while `make` runs, so two requests for
    // the same thumbnail may both make it; the first one kept wins.
    std::optional<std::string> Get(std::string_view path, std::string_view tag,
                                   std::uint32_t pixels, const Maker& make);

    std::uint64_t Used() const;

private:
    struct Entry {
        std::string key;
        std::string jpeg;
    };

    const std::uint64_t m_budget;
    mutable std::mutex m_mutex; // guards everything below
    std::uint64_t m_used{0};
    std::list<Entry> m_recency; // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> m_index;
};

} // namespace Velto::Corvane
