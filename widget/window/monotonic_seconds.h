#pragma once

#include <chrono>

namespace Velto::Widget {

// The UI clock: seconds on the monotonic clock.
inline double MonotonicSeconds() {
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace Velto::Widget
