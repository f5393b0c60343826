// A server process killed in the middle of an upload leaves no partial file
// under the upload's name: only the hidden temporary file, which visitors
// can never see.
#include "tests/support/http_client.h"
#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace Velto::Corvane::Testing {
namespace {

constexpr std::uint64_t kDeclaredBytes = 1ULL << 30;
constexpr std::size_t kPieceBytes = 1 << 20;
constexpr std::uintmax_t kWrittenBeforeKill = 16ULL << 20;
constexpr int kPieceLimit = 512;

class KilledServer : public ::testing::Test {
protected:
    void SetUp() override {
        m_share = std::filesystem::path(m_home.root) / "share";
        std::filesystem::create_directories(m_share);

        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        m_pid = ::fork();
        ASSERT_GE(m_pid, 0);
        if (m_pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            ::execl(VELTO_SHARE_SERVER, VELTO_SHARE_SERVER, m_share.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(out[1]);
        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n')
            line.push_back(c);
        ::close(out[0]);
        m_port = static_cast<std::uint16_t>(std::atoi(line.c_str()));
        ASSERT_NE(m_port, 0) << "the server printed no port";
    }

    void TearDown() override {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    std::uintmax_t TempBytes() const {
        std::uintmax_t bytes = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m_share))
            bytes += entry.file_size();
        return bytes;
    }

    TempHome m_home;
    std::filesystem::path m_share;
    pid_t m_pid{-1};
    std::uint16_t m_port{0};
};

TEST_F(KilledServer, NoPartialFileIsLeftVisible) {
    HttpClient client(m_port);
    ASSERT_TRUE(client.IsConnected());
    ASSERT_TRUE(client.SendRaw("PUT /files/share/big.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                               "x-veltocorvane: 1\r\nContent-Length: " +
                               std::to_string(kDeclaredBytes) + "\r\n\r\n"));
    const std::string piece(kPieceBytes, 'b');
    for (int i = 0; i < kPieceLimit && TempBytes() < kWrittenBeforeKill; ++i)
        ASSERT_TRUE(client.SendRaw(piece));
    ASSERT_GE(TempBytes(), kWrittenBeforeKill);

    ASSERT_EQ(::kill(m_pid, SIGKILL), 0);
    ASSERT_EQ(::waitpid(m_pid, nullptr, 0), m_pid);
    m_pid = -1;

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_share))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].starts_with(".vcsupload-")) << names[0];
}

} // namespace
} // namespace Velto::Corvane::Testing
