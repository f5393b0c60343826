#include "webapp/session_store.h"

#include "base/ordinal_compare.h"

#include <utility>

namespace Velto::Corvane {

namespace {

// Difference of two ticks; an earlier tick that lies after `now` counts as no time.
std::uint64_t Elapsed(std::uint64_t now, std::uint64_t earlier) {
    return earlier > now ? 0 : now - earlier;
}

} // namespace

SessionStore::SessionStore(std::uint64_t idleLifetimeMs, IdSource idSource)
    : m_idleLifetimeMs(idleLifetimeMs), m_idSource(std::move(idSource)) {}

bool SessionStore::IsExpired(const Session& session, std::uint64_t now) const {
    return Elapsed(now, session.lastSeen) > m_idleLifetimeMs;
}

std::string SessionStore::Create(std::u16string_view user, std::uint64_t now) {
    std::string id = m_idSource ? m_idSource() : std::string{};
    if (id.empty())
        return {};

    const std::lock_guard lock(m_mutex);
    std::erase_if(m_sessions, [&](const auto& pair) { return IsExpired(pair.second, now); });
    if (m_sessions.size() >= kMaxSessions) {
        auto oldest = m_sessions.begin();
        for (auto it = m_sessions.begin(); it != m_sessions.end(); ++it) {
            if (it->second.lastSeen < oldest->second.lastSeen)
                oldest = it;
        }
        m_sessions.erase(oldest);
    }
    Session session;
    session.id = id;
    session.user = std::u16string(user);
    session.lastSeen = now;
    // A repeated id (which a working random source never yields) replaces the
    // old session rather than handing two visitors one record.
    m_sessions.insert_or_assign(id, std::move(session));
    return id;
}

std::optional<Session> SessionStore::Find(std::string_view id, std::uint64_t now) {
    if (id.empty())
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(std::string(id));
    if (it == m_sessions.end())
        return std::nullopt;
    if (IsExpired(it->second, now)) {
        m_sessions.erase(it);
        return std::nullopt;
    }
    if (now > it->second.lastSeen)
        it->second.lastSeen = now;
    return it->second;
}

void SessionStore::Remove(std::string_view id) {
    const std::lock_guard lock(m_mutex);
    m_sessions.erase(std::string(id));
}

bool SessionStore::AddUnlock(std::string_view id, const std::string& shareId) {
    const std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(std::string(id));
    if (it == m_sessions.end())
        return false;
    it->second.unlockedShares.insert(shareId);
    return true;
}

void SessionStore::ForgetUnlock(std::string_view shareId) {
    const std::lock_guard lock(m_mutex);
    for (auto& [id, session] : m_sessions) {
        const auto it = session.unlockedShares.find(std::string(shareId));
        if (it != session.unlockedShares.end())
            session.unlockedShares.erase(it);
    }
}

bool SessionStore::AddOpenedLink(std::string_view id, const std::string& linkId) {
    const std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(std::string(id));
    if (it == m_sessions.end())
        return false;
    std::vector<std::string>& opened = it->second.openedLinks;
    std::erase(opened, linkId);
    if (opened.size() >= kMaxOpenedLinks)
        opened.erase(opened.begin());
    opened.push_back(linkId);
    return true;
}

bool SessionStore::AddLinkUnlock(std::string_view id, const std::string& linkId) {
    const std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(std::string(id));
    if (it == m_sessions.end())
        return false;
    it->second.unlockedLinks.insert(linkId);
    return true;
}

void SessionStore::ForgetLinkUnlock(std::string_view linkId) {
    const std::lock_guard lock(m_mutex);
    for (auto& [id, session] : m_sessions)
        session.unlockedLinks.erase(std::string(linkId));
}

std::size_t SessionStore::RemoveUser(std::u16string_view name) {
    const std::lock_guard lock(m_mutex);
    return std::erase_if(m_sessions, [&](const auto& pair) {
        return !pair.second.user.empty() && EqualsIgnoreCase(pair.second.user, name);
    });
}

std::size_t SessionStore::Count() const {
    const std::lock_guard lock(m_mutex);
    return m_sessions.size();
}

} // namespace Velto::Corvane
