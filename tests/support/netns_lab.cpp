#include "tests/support/netns_lab.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace Velto::Corvane::Testing {
namespace {

constexpr const char* kNetnsDir = "/run/netns/";
constexpr std::string_view kLabTag = "vcreach";
constexpr int kPollSliceMs = 50;

bool ProcessAlive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

std::string LabPrefix() {
    static std::atomic<int> counter{0};
    return std::string{kLabTag} + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
           "-";
}

// Names of entries in `folder` made by runs whose process is gone.
std::vector<std::string> StaleEntries(const std::string& folder) {
    std::vector<std::string> stale;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(kLabTag))
            continue;
        const pid_t pid =
            static_cast<pid_t>(std::atoi(std::string{name.substr(kLabTag.size())}.c_str()));
        if (pid > 0 && pid != ::getpid() && !ProcessAlive(pid))
            stale.emplace_back(name);
    }
    ::closedir(dir);
    return stale;
}

// Deletes namespaces and folders of earlier runs that ended without cleaning up.
void SweepStaleLabs() {
    for (const auto& name : StaleEntries(kNetnsDir))
        RunCommand({"ip", "netns", "delete", name});
    const auto temp = std::filesystem::temp_directory_path();
    for (const auto& name : StaleEntries(temp.string())) {
        std::error_code ignored;
        std::filesystem::remove_all(temp / name, ignored);
    }
}

} // namespace

ScopedNetns::ScopedNetns(const std::string& name) {
    m_home.Reset(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC));
    const UniqueFd target{::open((kNetnsDir + name).c_str(), O_RDONLY | O_CLOEXEC)};
    m_entered = m_home && target && ::setns(target.Get(), CLONE_NEWNET) == 0;
}

ScopedNetns::~ScopedNetns() {
    if (m_entered)
        ::setns(m_home.Get(), CLONE_NEWNET);
}

NetnsLab::NetnsLab() : m_prefix(LabPrefix()) {
    SweepStaleLabs();
    std::string pattern = (std::filesystem::temp_directory_path() / (m_prefix + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()))
        m_folder = pattern;
    else
        m_error = "cannot create a temporary folder";
}

NetnsLab::~NetnsLab() {
    for (auto it = m_namespaces.rbegin(); it != m_namespaces.rend(); ++it)
        RunCommand({"ip", "netns", "delete", *it});
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

std::string NetnsLab::Add(std::string_view role) {
    std::string name = m_prefix + std::string{role};
    const auto added = RunCommand({"ip", "netns", "add", name});
    if (added.exitCode != 0) {
        m_error = "ip netns add " + name + ": " + added.output;
        return {};
    }
    m_namespaces.push_back(name);
    if (!Ip(name, {"link", "set", "lo", "up"}))
        return {};
    return name;
}

bool NetnsLab::Ip(const std::string& ns, const std::vector<std::string>& args) {
    std::vector<std::string> argv{"ip", "-n", ns};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto result = RunCommand(argv);
    if (result.exitCode == 0)
        return true;
    m_error = "ip -n " + ns;
    for (const auto& arg : args)
        m_error += " " + arg;
    m_error += ": " + result.output;
    return false;
}

std::vector<std::string> NetnsLab::ExecArgv(const std::string& ns,
                                            const std::vector<std::string>& argv) const {
    std::vector<std::string> full{"ip", "netns", "exec", ns};
    full.insert(full.end(), argv.begin(), argv.end());
    return full;
}

CommandResult NetnsLab::Exec(const std::string& ns, const std::vector<std::string>& argv) {
    return RunCommand(ExecArgv(ns, argv));
}

bool WaitForTcpListener(const std::string& host, std::uint16_t port, int limitMs) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const UniqueFd sock{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
        if (sock &&
            ::connect(sock.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollSliceMs));
    }
    return false;
}

} // namespace Velto::Corvane::Testing
