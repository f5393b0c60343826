#include "server/http/connection_table.h"

#include <tuple>

namespace Velto::Corvane {

ConnectionTable::Admission ConnectionTable::CanAdmit(const std::string& key) const {
    const auto counted = m_perKey.find(key);
    if (counted != m_perKey.end() && counted->second >= m_maxPerAddress)
        return Admission::AddressFull;
    if (m_connections.size() >= m_max)
        return Admission::TableFull;
    return Admission::Admitted;
}

ServedConnection& ConnectionTable::Insert(std::unique_ptr<ServedConnection> connection) {
    ++m_perKey[connection->key];
    ServedConnection& inserted = *connection;
    m_connections.emplace(connection->id, std::move(connection));
    return inserted;
}

ServedConnection* ConnectionTable::Find(std::uint64_t id) {
    const auto found = m_connections.find(id);
    return found == m_connections.end() ? nullptr : found->second.get();
}

std::unique_ptr<ServedConnection> ConnectionTable::Take(std::uint64_t id) {
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return nullptr;
    std::unique_ptr<ServedConnection> taken = std::move(found->second);
    m_connections.erase(found);
    const auto counted = m_perKey.find(taken->key);
    if (counted != m_perKey.end() && --counted->second == 0)
        m_perKey.erase(counted);
    return taken;
}

ServedConnection* ConnectionTable::LeastProgressParked() {
    ServedConnection* least = nullptr;
    for (const auto& [id, connection] : m_connections) {
        if (connection->busy)
            continue;
        if (least == nullptr ||
            std::tie(connection->served, connection->parkedSince, connection->id) <
                std::tie(least->served, least->parkedSince, least->id))
            least = connection.get();
    }
    return least;
}

std::vector<std::uint64_t> ConnectionTable::ExpiredParked(std::uint64_t now) const {
    std::vector<std::uint64_t> expired;
    for (const auto& [id, connection] : m_connections) {
        if (!connection->busy && connection->deadline != 0 && connection->deadline <= now)
            expired.push_back(id);
    }
    return expired;
}

std::vector<ServedConnection*> ConnectionTable::All() {
    std::vector<ServedConnection*> all;
    all.reserve(m_connections.size());
    for (const auto& [id, connection] : m_connections)
        all.push_back(connection.get());
    return all;
}

} // namespace Velto::Corvane
