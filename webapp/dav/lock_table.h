#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// One WebDAV write lock. Resources are named by keys: a share's id, "/", then
// the item's path inside the share ("0123456789abcdef/a/b"); the share's root
// is the id and "/".
struct DavLock {
    std::string token; // "opaquelocktoken:" and a random UUID
    std::string key;   // the locked resource
    std::string href;  // its address, for lock discovery
    bool infinite{false};
    bool exclusive{true};
    std::string ownerXml;
    std::uint64_t timeoutSeconds{0};
    std::uint64_t expiresAt{0}; // tick (ms)
};

// The in-memory lock table. Locks end when their time-out passes without a
// refresh, when they are released, or when their resource is deleted or
// moved away. The table holds at most kMaxLocks; a request for more fails
// like a conflicting one.
class LockTable {
public:
    static constexpr std::size_t kMaxLocks = 10'000;

    LockTable() = default;
    LockTable(const LockTable&) = delete;
    LockTable& operator=(const LockTable&) = delete;

    // True when `key` is `base` itself or lies below it.
    static bool IsWithin(std::string_view key, std::string_view base);

    // A new lock; none when it conflicts with a lock in force (an exclusive
    // one either way; a shared one with an exclusive one) or the token could
    // not be made.
    std::optional<DavLock> Create(DavLock lock, std::uint64_t now);
    // The lock with `token` over `key` given a new time-out.
    std::optional<DavLock> Refresh(std::string_view token, std::string_view key,
                                   std::uint64_t timeoutSeconds, std::uint64_t now);
    // Releases the lock with `token` when it covers `key`.
    bool Remove(std::string_view token, std::string_view key, std::uint64_t now);
    // Locks in force on `key` itself or on a folder above it with infinite depth.
    std::vector<DavLock> Covering(std::string_view key, std::uint64_t now);
    // Covering locks plus every lock on an item below `key`.
    std::vector<DavLock> Affecting(std::string_view key, std::uint64_t now);
    // Ends every lock on `key` and below it.
    void RemoveWithin(std::string_view key);

private:
    void PurgeExpired(std::uint64_t now);
    static bool Covers(const DavLock& lock, std::string_view key);

    std::mutex m_mutex; // guards m_locks
    std::vector<DavLock> m_locks;
};

} // namespace Velto::Corvane
