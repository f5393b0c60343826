#include "server/net/winsock_count.h"

#include "base/diag_log.h"

#include <cerrno>
#include <csignal>
#include <mutex>

namespace Velto::Net {
namespace {

struct StartupCount {
    std::mutex mutex; // guards count
    int count{0};
};

StartupCount& Count() {
    static StartupCount instance;
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

Result AcquireWinsock() {
    StartupCount& state = Count();
    const std::lock_guard lock(state.mutex);
    if (state.count > 0) {
        ++state.count;
        return kOk;
    }
    const Result result = IgnoreSigpipe();
    if (Failed(result)) {
        LogFailure("WSAStartup", result);
        return result;
    }
    state.count = 1;
    return kOk;
}

void ReleaseWinsock() {
    StartupCount& state = Count();
    const std::lock_guard lock(state.mutex);
    if (state.count > 0)
        --state.count;
}

bool IsWinsockStarted() {
    StartupCount& state = Count();
    const std::lock_guard lock(state.mutex);
    return state.count > 0;
}

} // namespace Velto::Net
