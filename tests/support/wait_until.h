#pragma once

// Polls a condition on the calling thread until it holds or the limit passes.

#include <chrono>
#include <functional>
#include <thread>

namespace Velto::Testing {

inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                      std::chrono::milliseconds poll = std::chrono::milliseconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(poll);
    }
    return true;
}

} // namespace Velto::Testing
