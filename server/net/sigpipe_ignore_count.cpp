#include "server/net/sigpipe_ignore_count.h"

#include "base/diag_log.h"

#include <cerrno>
#include <csignal>
#include <mutex>

namespace Velto::Net {
namespace {

struct IgnoreCount {
    std::mutex mutex; // guards count
    int count{0};
};

IgnoreCount& Count() {
    static IgnoreCount instance;
    return instance;
}

// A peer that closes while we write must produce EPIPE, never kill the process.
Result IgnoreSigpipe() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    if (::sigaction(SIGPIPE, &action, nullptr) != 0)
        return ResultFromErrno(errno);
    return kOk;
}

} // namespace

Result AcquireSigpipeIgnore() {
    IgnoreCount& state = Count();
    const std::lock_guard lock(state.mutex);
    if (state.count > 0) {
        ++state.count;
        return kOk;
    }
    const Result result = IgnoreSigpipe();
    if (Failed(result)) {
        // Readers of the log know this step by its long-standing name.
        LogFailure("WSAStartup", result);
        return result;
    }
    state.count = 1;
    return kOk;
}

void ReleaseSigpipeIgnore() {
    IgnoreCount& state = Count();
    const std::lock_guard lock(state.mutex);
    if (state.count > 0)
        --state.count;
}

bool IsSigpipeIgnoreHeld() {
    IgnoreCount& state = Count();
    const std::lock_guard lock(state.mutex);
    return state.count > 0;
}

} // namespace Velto::Net
