// A server process killed with SIGKILL in the middle of a big resumable
// upload: started again, it offers only bytes that are in the partial file,
// shows nothing partial, and the upload completes with the identical file.
#include "tests/support/child_process.h"
#include "tests/support/http_client.h"
#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace Velto::Corvane::Testing {
namespace {

constexpr std::uint64_t kLength = 1ULL << 30;
constexpr std::size_t kBlock = 1 << 20;
constexpr std::uintmax_t kWrittenBeforeKill = 256ULL << 20;
constexpr std::string_view kKey = "00112233445566778899aabbccddeeff";

// Block `index` of the file: every block differs, so a piece written at the
// wrong offset shows.
std::string Block(std::uint64_t index) {
    std::string bytes(kBlock, static_cast<char>(index * 37 + 11));
    for (std::size_t at = 0; at < kBlock; at += 4096)
        std::memcpy(bytes.data() + at, &index, sizeof index);
    return bytes;
}

class KilledTusServer : public ::testing::Test {
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

    std::string PatchHead(std::uint64_t offset, std::uint64_t length) const {
        return "PATCH " + m_location + " HTTP/1.1\r\nHost: 127.0.0.1\r\nx-veltocorvane: 1\r\n" +
               "Tus-Resumable: 1.0.0\r\nCookie: vcu=" + std::string(kKey) +
               "\r\nContent-Type: application/offset+octet-stream\r\nUpload-Offset: " +
               std::to_string(offset) + "\r\nContent-Length: " + std::to_string(length) +
               "\r\n\r\n";
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_share))
            names.push_back(entry.path().filename().string());
        return names;
    }

    std::uintmax_t PartialBytes() const {
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
    std::string m_location;
};

TEST_F(KilledTusServer, ResumesFromWhatIsOnTheDisk) {
    {
        HttpClient client(m_port);
        const std::optional<ClientResponse> created = client.Request(
            "POST", "/api/uploads/",
            {"x-veltocorvane: 1", "Tus-Resumable: 1.0.0", "Cookie: vcu=" + std::string(kKey),
             "Upload-Length: " + std::to_string(kLength),
             "Upload-Metadata: share c2hhcmU=,filename YmlnLmJpbg=="});
        ASSERT_TRUE(created);
        ASSERT_EQ(created->status, 201) << created->body;
        m_location = created->Header("location");
    }
    {
        HttpClient client(m_port);
        ASSERT_TRUE(client.SendRaw(PatchHead(0, kLength)));
        for (std::uint64_t i = 0; i < kLength / kBlock && PartialBytes() < kWrittenBeforeKill; ++i)
            ASSERT_TRUE(client.SendRaw(Block(i)));
        ASSERT_GE(PartialBytes(), kWrittenBeforeKill);
        ASSERT_TRUE(m_server.Signal(SIGKILL));
        ASSERT_EQ(m_server.WaitForExit(), 128 + SIGKILL);
    }
    const std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 1u);
    ASSERT_TRUE(names[0].starts_with(".vcsupload-")) << names[0];

    StartServer();
    const std::uintmax_t onDisk = PartialBytes();
    std::uint64_t offset = 0;
    {
        HttpClient client(m_port);
        const std::optional<ClientResponse> head = client.Request(
            "HEAD", m_location, {"Tus-Resumable: 1.0.0", "Cookie: vcu=" + std::string(kKey)});
        ASSERT_TRUE(head);
        ASSERT_EQ(head->status, 200);
        offset = std::stoull(head->Header("upload-offset"));
        EXPECT_GT(offset, 0u);
        EXPECT_LE(offset, onDisk);
        const std::optional<ClientResponse> listing =
            client.Request("GET", "/api/list?share=share");
        ASSERT_TRUE(listing);
        EXPECT_EQ(listing->body.find("big.bin"), std::string::npos) << listing->body;
        EXPECT_EQ(listing->body.find("vcsupload"), std::string::npos) << listing->body;
    }
    {
        HttpClient client(m_port);
        ASSERT_TRUE(client.SendRaw(PatchHead(offset, kLength - offset)));
        const std::uint64_t first = offset / kBlock;
        ASSERT_TRUE(client.SendRaw(std::string_view(Block(first)).substr(offset % kBlock)));
        for (std::uint64_t i = first + 1; i < kLength / kBlock; ++i)
            ASSERT_TRUE(client.SendRaw(Block(i)));
        const std::optional<ClientResponse> done = client.ReadResponse();
        ASSERT_TRUE(done);
        EXPECT_EQ(done->status, 204) << done->body;
        EXPECT_EQ(done->Header("upload-offset"), std::to_string(kLength));
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"big.bin"});
    ASSERT_EQ(std::filesystem::file_size(m_share / "big.bin"), kLength);
    std::ifstream in(m_share / "big.bin", std::ios::binary);
    std::string block(kBlock, '\0');
    for (std::uint64_t i = 0; i < kLength / kBlock; ++i) {
        ASSERT_TRUE(in.read(block.data(), kBlock));
        ASSERT_EQ(block, Block(i)) << "block " << i;
    }
    EXPECT_TRUE(std::filesystem::is_empty(m_state));
}

} // namespace
} // namespace Velto::Corvane::Testing
