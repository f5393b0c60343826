#include "webapp/thumbnails/thumbnail_slots.h"

#include <algorithm>

namespace Velto::Corvane {

ThumbnailSlots::ThumbnailSlots(std::size_t count, std::size_t perClient)
    : m_count(std::max<std::size_t>(count, 1)),
      m_perClient(perClient == 0 ? std::max<std::size_t>(m_count / 2, 1)
                                 : std::min(perClient, m_count)),
      m_free(m_count) {}

void ThumbnailSlots::Acquire(const std::string& client) {
    std::unique_lock lock(m_mutex);
    const std::uint64_t ticket = m_nextTicket++;
    m_clients[client].waiting.push_back(ticket);
    m_tickets.emplace(ticket, false);
    Dispatch();
    m_granted.wait(lock, [&] { return m_tickets.at(ticket); });
    m_tickets.erase(ticket);
}

void ThumbnailSlots::Release(const std::string& client) {
    {
        const std::lock_guard lock(m_mutex);
        ++m_free;
        const auto found = m_clients.find(client);
        if (found != m_clients.end()) {
            --found->second.held;
            if (found->second.held == 0 && found->second.waiting.empty())
                m_clients.erase(found);
        }
        Dispatch();
    }
    m_granted.notify_all();
}

std::size_t ThumbnailSlots::Waiting() const {
    const std::lock_guard lock(m_mutex);
    std::size_t waiting = 0;
    for (const auto& [name, client] : m_clients)
        waiting += client.waiting.size();
    return waiting;
}

void ThumbnailSlots::Dispatch() {
    bool grantedAny = false;
    while (m_free > 0) {
        // The eligible client served longest ago; among equals, the oldest ticket.
        Client* next = nullptr;
        for (auto& [name, client] : m_clients) {
            if (client.waiting.empty() || client.held >= m_perClient)
                continue;
            if (next == nullptr || client.lastServed < next->lastServed ||
                (client.lastServed == next->lastServed &&
                 client.waiting.front() < next->waiting.front()))
                next = &client;
        }
        if (next == nullptr)
            break;
        m_tickets[next->waiting.front()] = true;
        next->waiting.pop_front();
        ++next->held;
        next->lastServed = ++m_servedCount;
        --m_free;
        grantedAny = true;
    }
    if (grantedAny)
        m_granted.notify_all();
}

} // namespace Velto::Corvane
