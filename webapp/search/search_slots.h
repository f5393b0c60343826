#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace Velto::Corvane {

// Bounds how many searches one client address runs at once. A search walks
// up to a whole share within its time budget; a client that starts more is
// refused at once rather than queued, so one address cannot keep the disk
// busy for everyone.
class SearchSlots {
public:
    explicit SearchSlots(std::size_t perAddress) : m_perAddress(perAddress == 0 ? 1 : perAddress) {}
    SearchSlots(const SearchSlots&) = delete;
    SearchSlots& operator=(const SearchSlots&) = delete;

    // One running search; gives its slot back when it goes. Empty (`Held()`
    // false) when the address had no slot left.
    class Held {
    public:
        Held(Held&& other) noexcept
            : m_owner(std::exchange(other.m_owner, nullptr)),
              m_address(std::move(other.m_address)) {}
        Held& operator=(Held&&) = delete;
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;
        ~Held() {
            if (m_owner != nullptr)
                m_owner->Release(m_address);
        }

        explicit operator bool() const { return m_owner != nullptr; }

    private:
        friend class SearchSlots;
        Held(SearchSlots* owner, std::string address)
            : m_owner(owner), m_address(std::move(address)) {}

        SearchSlots* m_owner;
        std::string m_address;
    };

    [[nodiscard]] Held TryTake(std::string_view address);

private:
    void Release(const std::string& address);

    const std::size_t m_perAddress;
    std::mutex m_mutex;                                        // guards m_running
    std::map<std::string, std::size_t, std::less<>> m_running; // searches by address
};

} // namespace Velto::Corvane
