#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Velto::Corvane {

// One visitor's server-side state, named by the value of the "vcs" cookie.
struct Session {
    std::string id;                       // 64 lower-case hexadecimal characters
    std::u16string user;                  // account name as stored; empty for unlock-only sessions
    std::set<std::string> unlockedShares; // ids of shares whose password was entered
    std::vector<std::string> openedLinks; // ids of share links opened here, the latest last
    std::set<std::string> unlockedLinks;  // ids of share links whose password was entered
    std::uint64_t lastSeen{0};            // tick (ms) of the latest request that used it
};

// In-memory session table. Sessions end after an idle lifetime and the table
// never holds more than kMaxSessions; the oldest one makes room for a new one.
class SessionStore {
public:
    static constexpr std::size_t kMaxSessions = 10000;
    // Links one session remembers; opening another forgets the oldest.
    static constexpr std::size_t kMaxOpenedLinks = 32;

    // Produces a fresh session id, or an empty string when no random bytes could be had.
    using IdSource = std::function<std::string()>;

    SessionStore(std::uint64_t idleLifetimeMs, IdSource idSource);

    SessionStore(const SessionStore&) = delete;
    SessionStore& operator=(const SessionStore&) = delete;

    // Returns the new session's id, or an empty string when no id could be made.
    std::string Create(std::u16string_view user, std::uint64_t now);
    // A copy of the session, refreshed to `now`; none for an unknown or idle-expired id.
    std::optional<Session> Find(std::string_view id, std::uint64_t now);
    void Remove(std::string_view id);
    // False when there is no such session.
    bool AddUnlock(std::string_view id, const std::string& shareId);
    void ForgetUnlock(std::string_view shareId);
    // Records that the session opened the link (moving it to the latest
    // place); false when there is no such session.
    bool AddOpenedLink(std::string_view id, const std::string& linkId);
    bool AddLinkUnlock(std::string_view id, const std::string& linkId);
    void ForgetLinkUnlock(std::string_view linkId);
    // Ends every session of the account `name` (case-insensitive); returns how many.
    std::size_t RemoveUser(std::u16string_view name);

    std::size_t Count() const;

private:
    bool IsExpired(const Session& session, std::uint64_t now) const;

    const std::uint64_t m_idleLifetimeMs;
    const IdSource m_idSource;
    mutable std::mutex m_mutex; // guards m_sessions
    std::unordered_map<std::string, Session> m_sessions;
};

} // namespace Velto::Corvane
