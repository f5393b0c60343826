#include "tests/support/session_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace Velto::Testing {
namespace {

// Where the daemon prints its address once it listens.
constexpr int kAddressFd = 3;
// A busy machine may take a while to start the daemon.
constexpr int kStartMs = 20'000;
constexpr int kStopMs = 5'000;

} // namespace

SessionBus::SessionBus() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-bus-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
        m_folder = pattern;
    if (const char* previous = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        m_previousAddress = previous;
}

SessionBus::~SessionBus() {
    if (m_daemon > 0) {
        ::kill(m_daemon, SIGTERM);
        // A daemon that does not stop is killed.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopMs);
        while (::waitpid(m_daemon, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(m_daemon, SIGKILL);
                ::waitpid(m_daemon, nullptr, 0);
                break;
            }
            ::usleep(10'000);
        }
    }
    if (m_previousAddress)
        ::setenv("DBUS_SESSION_BUS_ADDRESS", m_previousAddress->c_str(), 1);
    else
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

bool SessionBus::Start() {
    if (m_folder.empty() || m_daemon > 0)
        return false;
    const std::string listen = "--address=unix:path=" + m_folder + "/bus";
    const std::string print = "--print-address=" + std::to_string(kAddressFd);
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], kAddressFd);
    const char* argv[] = {"dbus-daemon",  "--session",   "--nofork", "--nopidfile",
                          listen.c_str(), print.c_str(), nullptr};
    const int spawned = ::posix_spawnp(&m_daemon, "dbus-daemon", &actions, nullptr,
                                       const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    if (spawned != 0) {
        m_daemon = 0;
        ::close(ready[0]);
        return false;
    }
    std::string printed;
    char buffer[256];
    pollfd waiting{ready[0], POLLIN, 0};
    while (printed.find('\n') == std::string::npos && ::poll(&waiting, 1, kStartMs) > 0) {
        const ssize_t n = ::read(ready[0], buffer, sizeof(buffer));
        if (n <= 0)
            break;
        printed.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(ready[0]);
    const std::size_t end = printed.find('\n');
    if (end == std::string::npos)
        return false;
    m_address = printed.substr(0, end);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
    return true;
}

} // namespace Velto::Testing
