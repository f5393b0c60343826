// The single-instance guard and its command channel, with real lock files and
// sockets in a temporary runtime folder.
#include "instance/command_frame.h"
#include "instance/single_instance.h"

#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace Velto::Instance {
namespace {

constexpr int kSendTimeoutMs = 10'000;
constexpr int kChildStartMs = 10'000;

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_runtime = m_home.root + "/runtime";
        std::filesystem::create_directories(m_runtime);
        ::chmod(m_runtime.c_str(), 0700);
        m_home.Set("XDG_RUNTIME_DIR", m_runtime);
    }

    // Connects without the client of the class, to send frames it never would.
    static int RawConnect(const std::string& path) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.data(), path.size());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            ::close(fd);
            return -1;
        }
        timeval timeout{kSendTimeoutMs / 1000, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        return fd;
    }

    // The reply to a raw frame; none when the connection ended without one.
    static std::optional<std::uint32_t> RawSend(const std::string& path, std::uint32_t tag,
                                                std::uint32_t length, const std::string& body) {
        const int fd = RawConnect(path);
        if (fd < 0)
            return std::nullopt;
        std::string frame(8, '\0');
        std::memcpy(frame.data(), &tag, 4);
        std::memcpy(frame.data() + 4, &length, 4);
        frame += body;
        // The receiver may answer and hang up before it has read everything.
        [[maybe_unused]] const ssize_t sent = ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
        std::uint32_t reply = 0;
        const ssize_t n = ::recv(fd, &reply, sizeof(reply), MSG_WAITALL);
        ::close(fd);
        if (n != sizeof(reply))
            return std::nullopt;
        return reply;
    }

    static std::string Utf16Bytes(std::u16string_view text) {
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    }

    Corvane::Testing::TempHome m_home;
    std::string m_runtime;
};

// Collects commands from the handler, which may run on another thread.
struct Received {
    std::mutex mutex;
    std::vector<std::u16string> commands;

    void Add(const std::u16string& command) {
        const std::lock_guard lock(mutex);
        commands.push_back(command);
    }
    std::vector<std::u16string> Take() {
        const std::lock_guard lock(mutex);
        return std::exchange(commands, {});
    }
};

TEST_F(SingleInstanceTest, FirstIsPrimaryAndAnswersOnlyOnceAHandlerIsSet) {
    SingleInstance first("Velto.Test");
    SingleInstance second("Velto.Test");
    EXPECT_TRUE(first.IsPrimary());
    EXPECT_FALSE(second.IsPrimary());
    EXPECT_EQ(first.SocketPath(), m_runtime + "/Velto.Test.sock");
    EXPECT_EQ(first.LockPath(), m_runtime + "/Velto.Test.lock");

    // Before a handler is set every command is answered with 0.
    EXPECT_FALSE(second.Send(u"show", kSendTimeoutMs));

    Received received;
    first.SetOnCommand([&](const std::u16string& command) { received.Add(command); });
    EXPECT_TRUE(second.Send(u"show", kSendTimeoutMs));
    EXPECT_TRUE(second.Send(u"drop:/home/user/사진", kSendTimeoutMs));
    EXPECT_EQ(received.Take(), (std::vector<std::u16string>{u"show", u"drop:/home/user/사진"}));

    // A different name is a different instance.
    SingleInstance other("Velto.Other");
    EXPECT_TRUE(other.IsPrimary());
    EXPECT_FALSE(other.Send(u"show", kSendTimeoutMs));
}

TEST_F(SingleInstanceTest, DestroyedPrimaryReleasesTheName) {
    std::string path;
    {
        SingleInstance gone("Velto.Test");
        ASSERT_TRUE(gone.IsPrimary());
        path = gone.SocketPath();
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    SingleInstance next("Velto.Test");
    EXPECT_TRUE(next.IsPrimary());
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(SingleInstanceTest, FramesAreValidatedBeforeTheHandlerSeesThem) {
    SingleInstance primary("Velto.Test");
    Received received;
    primary.SetOnCommand([&](const std::u16string& command) { received.Add(command); });
    const std::string path = primary.SocketPath();

    struct Case {
        const char* what;
        std::uint32_t tag;
        std::uint32_t length;
        std::string body;
        std::uint32_t reply;
        std::vector<std::u16string> commands;
    };
    const std::string show = Utf16Bytes(u"show");
    const std::string showZero = Utf16Bytes(std::u16string_view(u"show\0", 5));
    const std::string largest = Utf16Bytes(std::u16string(kMaxCommandBytes / 2, u'x'));
    const std::vector<Case> cases = {
        {"terminated", kCommandTag, 10, showZero, 1, {u"show"}},
        {"unterminated", kCommandTag, 8, show, 1, {u"show"}},
        {"largest",
         kCommandTag,
         kMaxCommandBytes,
         largest,
         1,
         {std::u16string(kMaxCommandBytes / 2, u'x')}},
        {"lone zero", kCommandTag, 2, std::string(2, '\0'), 1, {u""}},
        {"other tag", 0x4E4B5352, 8, show, 0, {}},
        {"odd length", kCommandTag, 7, show.substr(0, 7), 0, {}},
        {"empty", kCommandTag, 0, "", 0, {}},
        {"too long", kCommandTag, kMaxCommandBytes + 2, largest + "xx", 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RawSend(path, c.tag, c.length, c.body), c.reply);
        EXPECT_EQ(received.Take(), c.commands);
    }
    // A body shorter than its header says is never answered as handled.
    const int fd = RawConnect(path);
    ASSERT_GE(fd, 0);
    std::string frame(8, '\0');
    const std::uint32_t tag = kCommandTag, length = 8;
    std::memcpy(frame.data(), &tag, 4);
    std::memcpy(frame.data() + 4, &length, 4);
    frame += "sh";
    ASSERT_EQ(::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL), 10);
    ::shutdown(fd, SHUT_WR);
    std::uint32_t reply = 0;
    EXPECT_EQ(::recv(fd, &reply, sizeof(reply), MSG_WAITALL), 0);
    ::close(fd);
    EXPECT_TRUE(received.Take().empty());
    // And the channel still works afterwards.
    SingleInstance sender("Velto.Test");
    EXPECT_TRUE(sender.Send(u"quit", kSendTimeoutMs));
    EXPECT_EQ(received.Take(), std::vector<std::u16string>{u"quit"});
}

TEST_F(SingleInstanceTest, KilledPrimaryLeavesNothingThatBlocksTheNextStart) {
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        SingleInstance crashed("Velto.Test");
        const char state = crashed.IsPrimary() ? 'p' : 's';
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &state, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char state = 0;
    pollfd waiting{ready[0], POLLIN, 0};
    ASSERT_EQ(::poll(&waiting, 1, kChildStartMs), 1);
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(state, 'p');
    {
        SingleInstance whileAlive("Velto.Test");
        EXPECT_FALSE(whileAlive.IsPrimary());
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    // The dead copy's socket file is still there, and nobody listens on it.
    const std::string socketPath = m_runtime + "/Velto.Test.sock";
    ASSERT_TRUE(std::filesystem::exists(socketPath));
    EXPECT_LT(RawConnect(socketPath), 0);

    SingleInstance next("Velto.Test");
    ASSERT_TRUE(next.IsPrimary());
    Received received;
    next.SetOnCommand([&](const std::u16string& command) { received.Add(command); });
    SingleInstance sender("Velto.Test");
    EXPECT_TRUE(sender.Send(u"show", kSendTimeoutMs));
    EXPECT_EQ(received.Take(), std::vector<std::u16string>{u"show"});
}

TEST_F(SingleInstanceTest, SilentClientDoesNotHoldUpOthers) {
    SingleInstance primary("Velto.Test");
    Received received;
    primary.SetOnCommand([&](const std::u16string& command) { received.Add(command); });

    // One connects and sends nothing; another sends half a header.
    const int silent = RawConnect(primary.SocketPath());
    ASSERT_GE(silent, 0);
    const int halting = RawConnect(primary.SocketPath());
    ASSERT_GE(halting, 0);
    ASSERT_EQ(::send(halting, "QS", 2, MSG_NOSIGNAL), 2);

    SingleInstance sender("Velto.Test");
    EXPECT_TRUE(sender.Send(u"show", kSendTimeoutMs));
    EXPECT_EQ(received.Take(), std::vector<std::u16string>{u"show"});

    // Served while both were still connected: neither has been dropped yet.
    for (const int fd : {silent, halting}) {
        pollfd state{fd, POLLIN, 0};
        EXPECT_EQ(::poll(&state, 1, 0), 0);
    }
    // They are dropped once their time is up, without an answer.
    std::uint32_t reply = 0;
    EXPECT_EQ(::recv(silent, &reply, sizeof(reply), MSG_WAITALL), 0);
    ::close(silent);
    ::close(halting);
}

TEST_F(SingleInstanceTest, CommandsRunOnThePostedThread) {
    // A stand-in UI loop: tasks queued by the poster run on this thread.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Task> tasks;
    TaskPoster poster = [&](Task task) {
        const std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
        changed.notify_all();
    };
    SingleInstance primary("Velto.Test", poster);
    const auto uiThread = std::this_thread::get_id();
    std::thread::id handlerThread;
    std::u16string got;
    primary.SetOnCommand([&](const std::u16string& command) {
        handlerThread = std::this_thread::get_id();
        got = command;
    });

    auto sent = std::async(std::launch::async, [] {
        SingleInstance sender("Velto.Test");
        return sender.Send(u"show", kSendTimeoutMs);
    });
    // Run tasks until the sender has its answer.
    while (sent.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return !tasks.empty(); });
        while (!tasks.empty()) {
            Task task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }
    EXPECT_TRUE(sent.get());
    EXPECT_EQ(got, u"show");
    EXPECT_EQ(handlerThread, uiThread);
}

TEST_F(SingleInstanceTest, OtherUsersAreRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to connect as another user";
    SingleInstance primary("Velto.Test");
    Received received;
    primary.SetOnCommand([&](const std::u16string& command) { received.Add(command); });
    // Let the other user reach the socket at all, so that only the peer
    // check stands in the way.
    ::chmod(m_home.root.c_str(), 0711);
    ::chmod(m_runtime.c_str(), 0711);
    ::chmod(primary.SocketPath().c_str(), 0666);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0)
            ::_exit(3);
        const auto reply = RawSend(primary.SocketPath(), kCommandTag, 10,
                                   Utf16Bytes(std::u16string_view(u"show\0", 5)));
        // 0: dropped without an answer; 1: connect refused; 2: answered.
        ::_exit(reply ? 2 : (RawConnect(primary.SocketPath()) < 0 ? 1 : 0));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(received.Take().empty());
}

TEST_F(SingleInstanceTest, NamesBecomeSafeFileNames) {
    SingleInstance primary("Velto/../x y");
    EXPECT_TRUE(primary.IsPrimary());
    EXPECT_EQ(primary.LockPath(), m_runtime + "/Velto%2F..%2Fx%20y.lock");
    // A name too long for a socket address is replaced by a hash of it.
    SingleInstance longName(std::string(300, 'n'));
    EXPECT_TRUE(longName.IsPrimary());
    EXPECT_LE(longName.SocketPath().size(), sizeof(sockaddr_un::sun_path) - 1);
    SingleInstance sameLong(std::string(300, 'n'));
    EXPECT_FALSE(sameLong.IsPrimary());
}

TEST_F(SingleInstanceTest, WithoutRuntimeFolderAPrivateOneIsMade) {
    m_home.Unset("XDG_RUNTIME_DIR");
    SingleInstance primary("Velto.Test." + std::to_string(::getpid()));
    ASSERT_TRUE(primary.IsPrimary());
    const std::string folder = "/tmp/velto-" + std::to_string(::geteuid());
    EXPECT_EQ(primary.LockPath().rfind(folder + "/", 0), 0u);
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::unlink(primary.LockPath().c_str());
}

} // namespace
} // namespace Velto::Instance
