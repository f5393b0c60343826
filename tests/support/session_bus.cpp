#include "tests/support/session_bus.h"

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

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
    m_daemon.Stop();
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
    if (m_folder.empty() || m_daemon.Started())
        return false;
    m_daemon = ChildProcess({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                             "--address=unix:path=" + m_folder + "/bus",
                             "--print-address=" + std::to_string(kAddressFd)},
                            {.output = ChildOptions::Stream::Null,
                             .errors = ChildOptions::Errors::ToTest,
                             .noticeFd = kAddressFd,
                             .stopSignal = SIGTERM,
                             .stopGrace = std::chrono::milliseconds(kStopMs)});
    m_address = m_daemon.ReadNotice(std::chrono::milliseconds(kStartMs));
    if (m_address.empty())
        return false;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
    return true;
}

} // namespace Velto::Testing
