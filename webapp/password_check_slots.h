#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

namespace Velto::Corvane {

// Bounds how many password checks run at once in the process. A check costs
// hundreds of milliseconds of one core; with about one check per core a flood
// of sign-ins queues here instead of taking the processor from downloads.
class PasswordCheckSlots {
public:
    // Held while one check runs; the slot is given back when it goes.
    class Slot {
    public:
        explicit Slot(PasswordCheckSlots& owner) : m_owner(owner) { m_owner.Acquire(); }
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;
        ~Slot() { m_owner.Release(); }

    private:
        PasswordCheckSlots& m_owner;
    };

    // One slot per processor the system reports, at least one.
    PasswordCheckSlots() : PasswordCheckSlots(std::thread::hardware_concurrency()) {}
    explicit PasswordCheckSlots(std::size_t slots) : m_free(std::max<std::size_t>(slots, 1)) {}
    PasswordCheckSlots(const PasswordCheckSlots&) = delete;
    PasswordCheckSlots& operator=(const PasswordCheckSlots&) = delete;

    // Waits for a free slot and holds it until the returned guard goes.
    [[nodiscard]] Slot Take() { return Slot(*this); }

private:
    void Acquire() {
        std::unique_lock lock(m_mutex);
        m_freed.wait(lock, [this] { return m_free > 0; });
        --m_free;
    }
    void Release() {
        {
            const std::lock_guard lock(m_mutex);
            ++m_free;
        }
        m_freed.notify_one();
    }

    std::mutex m_mutex; // guards m_free
    std::condition_variable m_freed;
    std::size_t m_free;
};

} // namespace Velto::Corvane
