#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace Velto::Corvane {

// Admits at most `count` holders at once; the others wait their turn, so many
// connections asking for thumbnails never start as many decoders.
class ThumbnailSlots {
public:
    explicit ThumbnailSlots(std::size_t count) : m_free(count == 0 ? 1 : count) {}
    ThumbnailSlots(const ThumbnailSlots&) = delete;
    ThumbnailSlots& operator=(const ThumbnailSlots&) = delete;

    // Holds one slot for its lifetime.
    class Held {
    public:
        explicit Held(ThumbnailSlots& slots) : m_slots(slots) { m_slots.Acquire(); }
        ~Held() { m_slots.Release(); }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

    private:
        ThumbnailSlots& m_slots;
    };

private:
    void Acquire();
    void Release();

    std::mutex m_mutex; // guards m_free
    std::condition_variable m_freed;
    std::size_t m_free;
};

} // namespace Velto::Corvane
