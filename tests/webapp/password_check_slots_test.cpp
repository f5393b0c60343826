#include "webapp/password_check_slots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace Velto::Corvane {
namespace {

// How long each worker holds its slot: long enough that unbounded workers
// would overlap.
constexpr auto kHoldTime = std::chrono::milliseconds(5);
constexpr int kWorkers = 12;

TEST(PasswordCheckSlots, NoMoreHoldersAtOnceThanSlots) {
    for (const std::size_t slots : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
        SCOPED_TRACE(::testing::Message() << slots << " slots");
        PasswordCheckSlots gate(slots);
        std::atomic<int> holders{0};
        std::atomic<int> most{0};
        std::atomic<int> done{0};
        std::vector<std::thread> workers;
        for (int i = 0; i < kWorkers; ++i) {
            workers.emplace_back([&] {
                const PasswordCheckSlots::Slot slot = gate.Take();
                const int now = ++holders;
                int seen = most.load();
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                std::this_thread::sleep_for(kHoldTime);
                --holders;
                ++done;
            });
        }
        for (std::thread& worker : workers)
            worker.join();
        EXPECT_EQ(done.load(), kWorkers);
        // Zero slots still lets checks run, one at a time.
        EXPECT_LE(most.load(), static_cast<int>(std::max<std::size_t>(slots, 1)));
        EXPECT_GE(most.load(), 1);
    }
}

} // namespace
} // namespace Velto::Corvane
