#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Uses of links counted in memory and handed out for writing at most once
// per interval, so that a busy link does not rewrite the configuration file
// on every visit.
class LinkUseCounter {
public:
    static constexpr std::uint64_t kWriteIntervalMs = 60'000;

    explicit LinkUseCounter(std::uint64_t now) : m_lastTake(now) {}

    void Count(const std::string& linkId);
    // The uses of the link not yet written.
    std::uint64_t Pending(std::string_view linkId) const;
    // The unwritten uses, taken out, when the interval has passed since the
    // last take or `force` is set; empty otherwise.
    std::map<std::string, std::uint64_t> Take(std::uint64_t now, bool force);
    // Gives back uses that could not be written.
    void PutBack(const std::map<std::string, std::uint64_t>& uses);

private:
    mutable std::mutex m_mutex; // guards both members
    std::map<std::string, std::uint64_t, std::less<>> m_pending;
    std::uint64_t m_lastTake;
};

} // namespace Velto::Corvane
