#pragma once

#include "webapp/thumbnails/file_version.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

namespace Velto::Corvane {

// Remembers the file versions the helper failed on or ran out of time with,
// so that asking again (at another size, from anywhere) does not start the
// helper again until the memory ends or the file changes. Only one attempt
// per file version runs at a time: others wait for its outcome instead of
// starting their own helpers on the same slow file.
class ThumbnailFailures {
public:
    static constexpr std::uint64_t kMemoryMs = 600'000;
    static constexpr std::size_t kMaxRemembered = 4'096;

    ThumbnailFailures() = default;
    ThumbnailFailures(const ThumbnailFailures&) = delete;
    ThumbnailFailures& operator=(const ThumbnailFailures&) = delete;

    // The right to try one file version; the version's next attempt may begin
    // when it goes.
    class Attempt {
    public:
        Attempt(ThumbnailFailures& owner, const FileVersion& version)
            : m_owner(&owner), m_version(version) {}
        Attempt(Attempt&& other) noexcept
            : m_owner(std::exchange(other.m_owner, nullptr)), m_version(other.m_version) {}
        Attempt& operator=(Attempt&&) = delete;
        Attempt(const Attempt&) = delete;
        Attempt& operator=(const Attempt&) = delete;
        ~Attempt() {
            if (m_owner != nullptr)
                m_owner->Finish(m_version);
        }

        // The helper failed or timed out on this version at `now` (ms).
        void Failed(std::uint64_t now) { m_owner->Remember(m_version, now); }

    private:
        ThumbnailFailures* m_owner;
        FileVersion m_version;
    };

    // Waits while another attempt at `version` runs; none when the version
    // failed less than kMemoryMs before `now` (ms).
    std::optional<Attempt> Begin(const FileVersion& version, std::uint64_t now);

    std::size_t Remembered() const;

private:
    void Remember(const FileVersion& version, std::uint64_t now);
    void Finish(const FileVersion& version);

    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_finished;
    std::set<FileVersion> m_running;
    std::map<FileVersion, std::uint64_t> m_failedUntil; // version -> end of the memory (ms)
};

} // namespace Velto::Corvane
