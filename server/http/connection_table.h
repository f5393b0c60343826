#pragma once

#include "server/http/served_connection.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Velto::Corvane {

// The admitted connections of one server, with the per-address counts. Not
// thread-safe: the server guards it with its lock.
class ConnectionTable {
public:
    enum class Admission { Admitted, AddressFull, TableFull };

    ConnectionTable(std::size_t maxConnections, std::size_t maxPerAddress)
        : m_max(maxConnections), m_maxPerAddress(maxPerAddress) {}

    Admission CanAdmit(const std::string& key) const;
    ServedConnection& Insert(std::unique_ptr<ServedConnection> connection);
    ServedConnection* Find(std::uint64_t id);
    // Removes the connection; empty when there is none under `id`.
    std::unique_ptr<ServedConnection> Take(std::uint64_t id);

    // The parked connection that has done least for its client, to make room
    // for a newcomer when the table is full: fewest requests answered, then
    // parked longest, then the oldest. Null when every connection is busy.
    ServedConnection* LeastProgressParked();
    // Parked connections whose wait for a head has ended by `now`.
    std::vector<std::uint64_t> ExpiredParked(std::uint64_t now) const;
    std::vector<ServedConnection*> All();

    std::size_t Size() const { return m_connections.size(); }

private:
    std::size_t m_max;
    std::size_t m_maxPerAddress;
    std::unordered_map<std::uint64_t, std::unique_ptr<ServedConnection>> m_connections;
    std::unordered_map<std::string, std::size_t> m_perKey;
};

} // namespace Velto::Corvane
