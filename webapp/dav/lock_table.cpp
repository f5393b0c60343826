#include "webapp/dav/lock_table.h"

#include "base/system_random.h"

#include <algorithm>

namespace Velto::Corvane {

namespace {

constexpr std::uint64_t kMsPerSecond = 1000;
constexpr std::size_t kTokenBytes = 16;

// A random (version 4) UUID in its usual text form.
std::string RandomUuid() {
    std::string hex = RandomHex(kTokenBytes);
    if (hex.size() != kTokenBytes * 2)
        return {};
    hex[12] = '4';
    hex[16] = "89ab"[hex[16] % 4];
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
           hex.substr(16, 4) + "-" + hex.substr(20);
}

} // namespace

bool LockTable::IsWithin(std::string_view key, std::string_view base) {
    if (!key.starts_with(base))
        return false;
    return key.size() == base.size() || base.ends_with('/') || key[base.size()] == '/';
}

bool LockTable::Covers(const DavLock& lock, std::string_view key) {
    return lock.key == key || (lock.infinite && IsWithin(key, lock.key));
}

void LockTable::PurgeExpired(std::uint64_t now) {
    std::erase_if(m_locks, [now](const DavLock& lock) { return lock.expiresAt <= now; });
}

std::optional<DavLock> LockTable::Create(DavLock lock, std::uint64_t now) {
    const std::lock_guard guard(m_mutex);
    PurgeExpired(now);
    if (m_locks.size() >= kMaxLocks)
        return std::nullopt;
    for (const DavLock& held : m_locks) {
        const bool overlaps =
            Covers(held, lock.key) || (lock.infinite && IsWithin(held.key, lock.key));
        if (overlaps && (held.exclusive || lock.exclusive))
            return std::nullopt;
    }
    const std::string uuid = RandomUuid();
    if (uuid.empty())
        return std::nullopt;
    lock.token = "opaquelocktoken:" + uuid;
    lock.expiresAt = now + lock.timeoutSeconds * kMsPerSecond;
    m_locks.push_back(lock);
    return lock;
}

std::optional<DavLock> LockTable::Refresh(std::string_view token, std::string_view key,
                                          std::uint64_t timeoutSeconds, std::uint64_t now) {
    const std::lock_guard guard(m_mutex);
    PurgeExpired(now);
    for (DavLock& lock : m_locks) {
        if (lock.token == token && Covers(lock, key)) {
            lock.timeoutSeconds = timeoutSeconds;
            lock.expiresAt = now + timeoutSeconds * kMsPerSecond;
            return lock;
        }
    }
    return std::nullopt;
}

bool LockTable::Remove(std::string_view token, std::string_view key, std::uint64_t now) {
    const std::lock_guard guard(m_mutex);
    PurgeExpired(now);
    const auto found = std::find_if(m_locks.begin(), m_locks.end(), [&](const DavLock& lock) {
        return lock.token == token && Covers(lock, key);
    });
    if (found == m_locks.end())
        return false;
    m_locks.erase(found);
    return true;
}

std::vector<DavLock> LockTable::Covering(std::string_view key, std::uint64_t now) {
    const std::lock_guard guard(m_mutex);
    PurgeExpired(now);
    std::vector<DavLock> found;
    for (const DavLock& lock : m_locks) {
        if (Covers(lock, key))
            found.push_back(lock);
    }
    return found;
}

std::vector<DavLock> LockTable::Affecting(std::string_view key, std::uint64_t now) {
    const std::lock_guard guard(m_mutex);
    PurgeExpired(now);
    std::vector<DavLock> found;
    for (const DavLock& lock : m_locks) {
        if (Covers(lock, key) || IsWithin(lock.key, key))
            found.push_back(lock);
    }
    return found;
}

void LockTable::RemoveWithin(std::string_view key) {
    const std::lock_guard guard(m_mutex);
    std::erase_if(m_locks, [key](const DavLock& lock) { return IsWithin(lock.key, key); });
}

} // namespace Velto::Corvane
