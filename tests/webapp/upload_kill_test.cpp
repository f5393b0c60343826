// A server process killed in the middle of an upload leaves no partial file
// under the upload's name: only the hidden temporary file, which visitors
// can never see, and which the next start removes.
#include "tests/support/child_process.h"
#include "tests/support/http_client.h"
#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

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
        m_state = std::filesystem::path(m_home.root) / "state";
        std::filesystem::create_directories(m_share);
        StartServer();
    }

    void StartServer() {
        m_server =
            Velto::Testing::ChildProcess({VELTO_SHARE_SERVER, m_share.string(), m_state.string()});
        ASSERT_TRUE(m_server.WaitForOutput("\n")) << "the server printed no port";
        m_port = static_cast<std::uint16_t>(std::atoi(m_server.Output().c_str()));
        ASSERT_NE(m_port, 0) << "the server printed no port";
    }

    std::uintmax_t TempBytes() const {
        std::uintmax_t bytes = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m_share))
            bytes += entry.file_size();
        return bytes;
    }

    TempHome m_home;
    std::filesystem::path m_share;
    std::filesystem::path m_state;
    Velto::Testing::ChildProcess m_server;
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

    ASSERT_TRUE(m_server.Signal(SIGKILL));
    ASSERT_EQ(m_server.WaitForExit(), 128 + SIGKILL);

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_share))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].starts_with(".vcsupload-")) << names[0];

    StartServer();
    EXPECT_TRUE(std::filesystem::is_empty(m_share));
    EXPECT_TRUE(std::filesystem::is_empty(m_state));
}

} // namespace
} // namespace Velto::Corvane::Testing
