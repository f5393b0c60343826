#include "tests/server/tls/peer_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace Velto::Testing {

PeerProcess::PeerProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnv) {
    ::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);

    // Entries of extraEnv replace inherited ones of the same name.
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        bool replaced = false;
        for (const std::string& extra : extraEnv)
            replaced = replaced || nameOf(extra) == nameOf(entry);
        if (!replaced)
            env.push_back(entry);
    }
    for (const std::string& extra : extraEnv)
        env.push_back(extra);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& a : args)
        argp.push_back(a.data());
    argp.push_back(nullptr);

    pid_t pid = -1;
    if (posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) == 0)
        m_pid = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    m_stdin = in[1];
    m_stdout = out[0];
}

PeerProcess::~PeerProcess() {
    CloseInput();
    if (m_pid > 0) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
    }
    if (m_stdout >= 0)
        ::close(m_stdout);
}

void PeerProcess::Write(const std::string& text) {
    std::size_t done = 0;
    while (m_stdin >= 0 && done < text.size()) {
        const ssize_t n = ::write(m_stdin, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

void PeerProcess::CloseInput() {
    if (m_stdin >= 0)
        ::close(m_stdin);
    m_stdin = -1;
}

bool PeerProcess::ReadSome(std::chrono::milliseconds limit) {
    if (m_ended || m_stdout < 0)
        return false;
    pollfd p{m_stdout, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(limit.count()));
    if (ready <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = ::read(m_stdout, buffer, sizeof buffer);
    if (n <= 0) {
        m_ended = true;
        return false;
    }
    m_output.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool PeerProcess::WaitFor(const std::string& marker, std::chrono::milliseconds limit) {
    return WaitForCount(marker, 1, limit);
}

bool PeerProcess::WaitForCount(const std::string& marker, std::size_t count,
                               std::chrono::milliseconds limit) {
    const auto occurrences = [&] {
        std::size_t found = 0;
        for (std::size_t at = m_output.find(marker); at != std::string::npos;
             at = m_output.find(marker, at + marker.size()))
            ++found;
        return found;
    };
    const auto end = std::chrono::steady_clock::now() + limit;
    while (occurrences() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReadSome(left))
            return occurrences() >= count;
    }
    return true;
}

int PeerProcess::Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!m_ended) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReadSome(left))
            break;
    }
    if (m_pid <= 0)
        return -1;
    int status = 0;
    if (!m_ended)
        ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunPeer(const std::vector<std::string>& argv, std::string& output) {
    PeerProcess peer(argv);
    peer.CloseInput();
    const int status = peer.Wait();
    output = peer.Output();
    return status;
}

} // namespace Velto::Testing
