#include "webapp/thumbnails/thumbnail_helper_process.h"

#include "base/unique_fd.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace Velto::Corvane {

namespace {

// Where the helper finds its input, and where the descriptors wait in this
// process until the spawn moves them (above the standard ones, so the moves
// cannot overwrite each other).
constexpr int kHelperInputFd = 3;
constexpr int kParkedFdFloor = 10;
constexpr std::size_t kReadPiece = 65536;
// A helper that has used this much processor time is on a slow file: from
// then on it runs at the lowest priority, so that the quick thumbnails of
// others are not slowed down by its rendering. Processor time, not time on
// the clock: a quick file's helper that waits for a core while the machine is
// busy must not be pushed back further (it would then starve until killed).
constexpr std::chrono::milliseconds kLowerPriorityAfter{1'000};
constexpr std::chrono::milliseconds kCpuCheckEvery{100};
constexpr int kSlowHelperNice = 19;
constexpr std::size_t kMaxReplyBytes =
    kThumbnailReplyHeaderBytes + std::size_t{kMaxThumbnailBitmapEdge} * kMaxThumbnailBitmapEdge * 4;

using Clock = std::chrono::steady_clock;

UniqueFd Park(int fd) {
    return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, kParkedFdFloor));
}

std::uint32_t ReadLe32(std::string_view bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    return value;
}

std::optional<ThumbnailBitmap> ParseReply(std::string reply) {
    if (reply.size() < kThumbnailReplyHeaderBytes ||
        std::string_view(reply).substr(0, 4) != kThumbnailReplyMagic)
        return std::nullopt;
    ThumbnailBitmap bitmap;
    bitmap.width = ReadLe32(std::string_view(reply).substr(4, 4));
    bitmap.height = ReadLe32(std::string_view(reply).substr(8, 4));
    if (bitmap.width < 1 || bitmap.width > kMaxThumbnailBitmapEdge || bitmap.height < 1 ||
        bitmap.height > kMaxThumbnailBitmapEdge)
        return std::nullopt;
    const std::size_t pixelBytes = std::size_t{bitmap.width} * bitmap.height * 4;
    if (reply.size() != kThumbnailReplyHeaderBytes + pixelBytes)
        return std::nullopt;
    reply.erase(0, kThumbnailReplyHeaderBytes);
    bitmap.bgra = std::move(reply);
    return bitmap;
}

// posix_spawn's attributes and file actions, released on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        m_ready = ::posix_spawnattr_init(&m_attributes) == 0;
        m_ready = ::posix_spawn_file_actions_init(&m_actions) == 0 && m_ready;
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&m_actions);
        ::posix_spawnattr_destroy(&m_attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool Prepare(int input, int output) {
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        return m_ready &&
               ::posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETPGROUP |
                                                             POSIX_SPAWN_SETSIGMASK |
                                                             POSIX_SPAWN_SETSIGDEF) == 0 &&
               ::posix_spawnattr_setpgroup(&m_attributes, 0) == 0 &&
               ::posix_spawnattr_setsigmask(&m_attributes, &none) == 0 &&
               ::posix_spawnattr_setsigdefault(&m_attributes, &defaults) == 0 &&
               ::posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY,
                                                  0) == 0 &&
               ::posix_spawn_file_actions_addopen(&m_actions, STDERR_FILENO, "/dev/null", O_WRONLY,
                                                  0) == 0 &&
               ::posix_spawn_file_actions_adddup2(&m_actions, output, STDOUT_FILENO) == 0 &&
               ::posix_spawn_file_actions_adddup2(&m_actions, input, kHelperInputFd) == 0;
    }

    const posix_spawnattr_t* Attributes() const { return &m_attributes; }
    const posix_spawn_file_actions_t* Actions() const { return &m_actions; }

private:
    bool m_ready{false};
    posix_spawnattr_t m_attributes;
    posix_spawn_file_actions_t m_actions;
};

// The helper's environment: enough to find programs and a temporary folder,
// nothing of the server's own.
std::vector<std::string> HelperEnvironment() {
    std::vector<std::string> environment = {"PATH=/usr/local/bin:/usr/bin:/bin", "LC_ALL=C.UTF-8"};
    for (const char* name : {"HOME", "TMPDIR", "XDG_DATA_DIRS"}) {
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0')
            environment.push_back(std::string(name) + "=" + value);
    }
    return environment;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// A descriptor that becomes readable when the process exits (glibc's
// wrapper is not declared for C++ here, so the system call is made directly).
UniqueFd OpenPidFd(pid_t pid) {
    return UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
}

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// The processor time process `pid` has used so far; zero when it cannot be
// read (the process is gone).
std::chrono::nanoseconds CpuTimeOf(pid_t pid) {
    clockid_t clock{};
    timespec used{};
    if (::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &used) != 0)
        return {};
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

} // namespace

HelperResult RunThumbnailHelper(const std::string& executable, int fd, std::uint32_t pixels,
                                std::string_view nameHint, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    const UniqueFd input = Park(fd);
    int ends[2];
    if (!input || ::pipe2(ends, O_CLOEXEC) != 0)
        return {};
    UniqueFd reader(ends[0]);
    UniqueFd writer = Park(ends[1]);
    ::close(ends[1]);
    if (!writer)
        return {};

    SpawnSetup setup;
    if (!setup.Prepare(input.Get(), writer.Get()))
        return {};
    std::vector<std::string> arguments = {executable, std::to_string(pixels),
                                          std::string(nameHint)};
    std::vector<std::string> environment = HelperEnvironment();
    const std::vector<char*> argv = PointersTo(arguments);
    const std::vector<char*> envp = PointersTo(environment);
    pid_t pid = -1;
    if (::posix_spawn(&pid, executable.c_str(), setup.Actions(), setup.Attributes(), argv.data(),
                      envp.data()) != 0)
        return {};
    writer.Reset();

    // The helper's exit is watched through a pidfd without reaping it, so its
    // process id (and group id) stays reserved until the group is killed.
    const UniqueFd exited = OpenPidFd(pid);
    std::string reply;
    bool childDone = false;
    bool outputDone = false;
    bool failed = !exited;
    std::array<char, kReadPiece> piece;
    bool lowered = false;
    while (!failed && !(childDone && outputDone)) {
        if (!lowered && !childDone && CpuTimeOf(pid) >= kLowerPriorityAfter) {
            ::setpriority(PRIO_PGRP, static_cast<id_t>(pid), kSlowHelperNice);
            lowered = true;
        }
        int wait = RemainingMs(deadline);
        if (!lowered)
            wait = std::min(wait, static_cast<int>(kCpuCheckEvery.count()));
        if (wait == 0) {
            failed = true;
            break;
        }
        pollfd watched[2] = {{exited.Get(), POLLIN, 0}, {reader.Get(), POLLIN, 0}};
        const nfds_t count = outputDone ? 1 : 2;
        const int ready = ::poll(watched, count, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            failed = true;
            break;
        }
        if (!childDone && (watched[0].revents & POLLIN) != 0) {
            childDone = true;
            // Whatever the helper started has no business outliving it, and
            // its death also closes any copy of the pipe a straggler holds.
            ::kill(-pid, SIGKILL);
        }
        if (!outputDone && count == 2 && watched[1].revents != 0) {
            const ssize_t got = ::read(reader.Get(), piece.data(), piece.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                outputDone = true;
            } else if (reply.size() + static_cast<std::size_t>(got) > kMaxReplyBytes) {
                failed = true;
            } else {
                reply.append(piece.data(), static_cast<std::size_t>(got));
            }
        }
    }
    if (failed)
        ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // Without a pidfd the helper was never watched: no verdict on the file.
    if (!exited)
        return {};
    if (failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {std::nullopt, true};
    return {ParseReply(std::move(reply)), true};
}

} // namespace Velto::Corvane
