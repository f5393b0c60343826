#pragma once

#include <cerrno>

namespace Velto {

// A system call a signal interrupted (EINTR) is made again, up to this many
// times in a row; after that its failure stands, so a storm of signals cannot
// keep a thread spinning.
constexpr int kMaxInterruptRetries = 64;

// Calls `call` until it does not fail with EINTR; its result (and errno) come
// back unchanged. `keepTrying` can end the retries early, e.g. once a
// connection is being shut down.
template <typename Call, typename Predicate>
auto RetryOnInterrupt(Call&& call, Predicate&& keepTrying) {
    for (int attempt = 0;; ++attempt) {
        const auto result = call();
        if (result >= 0 || errno != EINTR || attempt >= kMaxInterruptRetries || !keepTrying())
            return result;
    }
}

template <typename Call> auto RetryOnInterrupt(Call&& call) {
    return RetryOnInterrupt(call, [] { return true; });
}

} // namespace Velto
