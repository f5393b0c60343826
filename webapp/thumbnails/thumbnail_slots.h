#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Admits at most `count` holders at once, so many connections asking for
// thumbnails never start as many decoders. The others wait, queued per client
// (the address group a request came from): a client holds at most
// `perClient` slots, and a freed slot goes to the waiting client served least
// recently, so one client asking for slow files over and over takes its turn
// like everyone else instead of keeping every slot busy.
class ThumbnailSlots {
public:
    // `perClient` 0: half the slots, at least one.
    explicit ThumbnailSlots(std::size_t count, std::size_t perClient = 0);
    ThumbnailSlots(const ThumbnailSlots&) = delete;
    ThumbnailSlots& operator=(const ThumbnailSlots&) = delete;

    // Holds one slot for `client` for its lifetime.
    class Held {
    public:
        Held(ThumbnailSlots& slots, std::string_view client) : m_slots(slots), m_client(client) {
            m_slots.Acquire(m_client);
        }
        ~Held() { m_slots.Release(m_client); }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

    private:
        ThumbnailSlots& m_slots;
        const std::string m_client;
    };

    std::size_t Count() const { return m_count; }
    std::size_t PerClient() const { return m_perClient; }
    // Requests waiting for a slot.
    std::size_t Waiting() const;

private:
    struct Client {
        std::size_t held{0};
        std::uint64_t lastServed{0};       // 0: never served while known
        std::deque<std::uint64_t> waiting; // tickets in arrival order
    };

    void Acquire(const std::string& client);
    void Release(const std::string& client);
    // Hands free slots to the waiting clients whose turn it is.
    void Dispatch();

    const std::size_t m_count;
    const std::size_t m_perClient;
    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_granted;
    std::size_t m_free;
    std::uint64_t m_nextTicket{1};
    std::uint64_t m_servedCount{0};
    std::map<std::string, Client, std::less<>> m_clients; // with a slot held or a ticket waiting
    std::map<std::uint64_t, bool> m_tickets;              // waiting ticket -> granted
};

} // namespace Velto::Corvane
