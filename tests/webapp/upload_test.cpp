// Uploads through the real server: numbered names, overwriting, size limits,
// broken and abandoned bodies, and what the stored file looks like.
#include "tests/webapp/web_app_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace Velto::Corvane::Testing {
namespace {

// Bound on polling for a server-side effect (in 5 ms steps).
constexpr int kPollSteps = 2'000;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Names in a folder, sorted.
std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> TempFilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> temps;
    for (const std::string& name : NamesIn(folder)) {
        if (name.starts_with(".vcsupload-"))
            temps.push_back(name);
    }
    return temps;
}

std::string PutHead(std::string_view target, std::string_view framing) {
    std::string head = "PUT ";
    head += target;
    head += " HTTP/1.1\r\nHost: 127.0.0.1\r\nx-veltocorvane: 1\r\n";
    head += framing;
    head += "\r\n\r\n";
    return head;
}

std::string Chunked(std::string_view body) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", body.size());
    return std::string(size) + std::string(body) + "\r\n0\r\n\r\n";
}

// Sends `request`, ends the sending side (the server reads the end of the
// stream where the body should go on) and returns the status and body of the
// reply that comes back before the server closes.
std::pair<int, std::string> ExchangeHalfClosed(std::uint16_t port, std::string_view request) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!fd ||
        ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return {0, {}};
    if (::send(fd.Get(), request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size()))
        return {0, {}};
    ::shutdown(fd.Get(), SHUT_WR);
    std::string reply;
    char buffer[4096];
    while (true) {
        const ssize_t got = ::recv(fd.Get(), buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t bodyStart = reply.find("\r\n\r\n");
    if (!reply.starts_with("HTTP/1.1 ") || bodyStart == std::string::npos)
        return {0, reply};
    return {std::atoi(reply.c_str() + 9), reply.substr(bodyStart + 4)};
}

class UploadRoutes : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        m_up = Files() / "up";
        std::filesystem::create_directories(m_up / "sub");
        const AccessFlags all = AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete;
        m_config.shares.push_back(MakeShare("00000000000000a1", u"up", m_up, all));
        m_config.shares.push_back(MakeShare("00000000000000a2", u"writeonly", m_up,
                                            AccessFlags::Read | AccessFlags::Write));
        m_config.shares.push_back(MakeShare("00000000000000a3", u"small", m_up, all));
        m_config.shares.back().maxUploadBytes = 100;
        Apply(m_config);
    }

    ClientResponse Put(std::string_view target, std::string_view body) {
        return Send("PUT", target, {}, body);
    }

    std::filesystem::path m_up;
    Config m_config;
};

TEST_F(UploadRoutes, SecondUploadOfANameGetsTheNextNumberedName) {
    const ClientResponse first = Put("/files/up/sub/a.txt", "first");
    EXPECT_EQ(first.status, 201);
    EXPECT_EQ(first.body, R"({"name":"a.txt"})");
    const ClientResponse second = Put("/files/up/sub/a.txt", "second");
    EXPECT_EQ(second.status, 201);
    EXPECT_EQ(second.body, R"({"name":"a (2).txt"})");
    EXPECT_EQ(ReadFile(m_up / "sub" / "a.txt"), "first");
    EXPECT_EQ(ReadFile(m_up / "sub" / "a (2).txt"), "second");
    EXPECT_EQ(NamesIn(m_up / "sub"), (std::vector<std::string>{"a (2).txt", "a.txt"}));

    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].action, "upload");
    EXPECT_EQ(log[1].detail, u"/up/sub/a (2).txt");
    EXPECT_EQ(log[1].result, 201);
    EXPECT_EQ(log[1].size, 6u);
}

TEST_F(UploadRoutes, OverwriteNeedsTheDeleteRight) {
    WriteFile("up/report.pdf", "old");
    const ClientResponse refused = Put("/files/writeonly/report.pdf?overwrite=1", "new");
    EXPECT_EQ(refused.status, 403);
    EXPECT_EQ(refused.body, R"({"error":"forbidden"})");
    EXPECT_EQ(ReadFile(m_up / "report.pdf"), "old");

    const ClientResponse replaced = Put("/files/up/report.pdf?overwrite=1", "new");
    EXPECT_EQ(replaced.status, 201);
    EXPECT_EQ(replaced.body, R"({"name":"report.pdf"})");
    EXPECT_EQ(ReadFile(m_up / "report.pdf"), "new");
    // Without the flag the same right still only adds a numbered file.
    EXPECT_EQ(Put("/files/up/report.pdf?overwrite=0", "newer").body,
              R"({"name":"report (2).pdf"})");
    // A folder is never replaced by a file.
    EXPECT_EQ(Put("/files/up/sub?overwrite=1", "x").body, R"({"error":"exists"})");
    EXPECT_TRUE(std::filesystem::is_directory(m_up / "sub"));
    EXPECT_TRUE(TempFilesIn(m_up).empty());
}

TEST_F(UploadRoutes, ShareLimitRefusesDeclaredAndStreamedBodies) {
    EXPECT_EQ(Put("/files/small/exact.bin", std::string(100, 'x')).status, 201);

    HttpClient declared(Port());
    ASSERT_TRUE(declared.SendRaw(PutHead("/files/small/over.bin", "Content-Length: 101")));
    const std::optional<ClientResponse> early = declared.ReadResponse();
    ASSERT_TRUE(early);
    EXPECT_EQ(early->status, 413);
    EXPECT_EQ(early->body, R"({"error":"tooLarge"})");
    EXPECT_TRUE(declared.PeerClosed());

    HttpClient chunked(Port());
    ASSERT_TRUE(chunked.SendRaw(PutHead("/files/small/over.bin", "Transfer-Encoding: chunked") +
                                Chunked(std::string(101, 'y'))));
    const std::optional<ClientResponse> streamed = chunked.ReadResponse();
    ASSERT_TRUE(streamed);
    EXPECT_EQ(streamed->status, 413);
    EXPECT_TRUE(chunked.PeerClosed());

    EXPECT_EQ(NamesIn(m_up), (std::vector<std::string>{"exact.bin", "sub"}));
    // Only the refusal that read the body leaves a record.
    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].detail, u"/small/over.bin");
    EXPECT_EQ(log[1].result, 413);
    EXPECT_EQ(log[1].size, 101u);
}

TEST_F(UploadRoutes, BrokenBodiesLeaveNothingBehind) {
    struct Case {
        const char* name;
        std::string request;
    };
    const Case cases[] = {
        {"client gone before the declared length",
         PutHead("/files/up/cut.bin", "Content-Length: 1000") + std::string(10, 'a')},
        {"chunk size that is not hexadecimal",
         PutHead("/files/up/cut.bin", "Transfer-Encoding: chunked") + "zz\r\nabc\r\n0\r\n\r\n"},
        {"chunked body that stops in a chunk",
         PutHead("/files/up/cut.bin", "Transfer-Encoding: chunked") + "100\r\nabc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [status, body] = ExchangeHalfClosed(Port(), c.request);
        EXPECT_EQ(status, 400);
        EXPECT_EQ(body, R"({"error":"aborted"})");
        const std::vector<AccessLogEntry> log = LogEntries();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back().result, 400);
        EXPECT_EQ(NamesIn(m_up), std::vector<std::string>{"sub"});
    }

    // A body longer than declared: the declared bytes are the file, and the
    // rest is read as the next request on the connection.
    HttpClient client(Port());
    ASSERT_TRUE(client.SendRaw(PutHead("/files/up/five.txt", "Content-Length: 5") + "12345678"));
    const std::optional<ClientResponse> stored = client.ReadResponse();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->status, 201);
    EXPECT_EQ(ReadFile(m_up / "five.txt"), "12345");
}

TEST_F(UploadRoutes, ClientThatDisconnectsMidBodyLeavesNoFile) {
    {
        HttpClient client(Port());
        ASSERT_TRUE(client.SendRaw(PutHead("/files/up/gone.bin", "Content-Length: 1000000") +
                                   std::string(300'000, 'g')));
        for (int i = 0; i < kPollSteps && TempFilesIn(m_up).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(TempFilesIn(m_up).size(), 1u);
    } // the connection closes without the rest
    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].detail, u"/up/gone.bin");
    EXPECT_EQ(log[0].result, 400);
    EXPECT_EQ(log[0].size, 300'000u);
    EXPECT_EQ(NamesIn(m_up), std::vector<std::string>{"sub"});
}

TEST_F(UploadRoutes, TemporaryFileIsInvisibleWhileTheUploadRuns) {
    HttpClient client(Port());
    ASSERT_TRUE(client.SendRaw(PutHead("/files/up/big.bin", "Content-Length: 20") + "0123456789"));
    std::vector<std::string> temps;
    for (int i = 0; i < kPollSteps && (temps = TempFilesIn(m_up)).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(temps.size(), 1u);
    EXPECT_EQ(temps[0].size(), 11u + 16u);

    const ClientResponse listing = Get("/api/list?share=up");
    EXPECT_EQ(listing.status, 200);
    EXPECT_EQ(listing.body.find("vcsupload"), std::string::npos) << listing.body;
    EXPECT_EQ(Get("/files/up/" + temps[0]).status, 404);
    EXPECT_FALSE(std::filesystem::exists(m_up / "big.bin"));

    ASSERT_TRUE(client.SendRaw("abcdefghij"));
    const std::optional<ClientResponse> reply = client.ReadResponse();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 201);
    EXPECT_EQ(ReadFile(m_up / "big.bin"), "0123456789abcdefghij");
    EXPECT_TRUE(TempFilesIn(m_up).empty());
}

TEST_F(UploadRoutes, StoredFileCarriesTheInternetZoneMark) {
    ASSERT_EQ(Put("/files/up/setup.exe", "MZ").status, 201);
    // Read with the attribute tools a user would use.
    const std::string command = "getfattr --absolute-names --only-values "
                                "-n user.Zone.Identifier '" +
                                (m_up / "setup.exe").string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string value;
    char buffer[256];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        value.append(buffer, got);
    EXPECT_EQ(::pclose(pipe), 0) << value;
    EXPECT_EQ(value, "[ZoneTransfer]\r\nZoneId=3\r\n");
}

TEST_F(UploadRoutes, NamesAndDestinations) {
    // 한글 보고서.txt, percent-encoded as a browser sends it.
    const ClientResponse korean =
        Put("/files/up/%ED%95%9C%EA%B8%80%20%EB%B3%B4%EA%B3%A0%EC%84%9C.txt",
            "\xEC\x95\x88\xEB\x85\x95");
    EXPECT_EQ(korean.status, 201);
    EXPECT_EQ(korean.body,
              "{\"name\":\"\xED\x95\x9C\xEA\xB8\x80 \xEB\xB3\xB4\xEA\xB3\xA0\xEC\x84\x9C.txt\"}");
    EXPECT_EQ(ReadFile(m_up / "\xED\x95\x9C\xEA\xB8\x80 \xEB\xB3\xB4\xEA\xB3\xA0\xEC\x84\x9C.txt"),
              "\xEC\x95\x88\xEB\x85\x95");

    WriteFile("up/.hidden/x.txt", "x");
    WriteFile("up/plain.txt", "p");
    const std::string longName(255, 'n');
    WriteFile("up/" + longName, "taken");
    struct Case {
        const char* target;
        int status;
        const char* body;
    };
    const Case cases[] = {
        {"/files/up", 400, R"({"error":"badPath"})"},
        {"/files/up/", 400, R"({"error":"badPath"})"},
        {"/files/up/tab%09x.txt", 400, R"({"error":"badPath"})"},
        {"/files/up/a/../b.txt", 400, R"({"error":"badPath"})"},
        {"/files/up/del%7F", 400, R"({"error":"badPath"})"},
        {"/files/up/missing/a.txt", 404, R"({"error":"notFound"})"},
        {"/files/up/plain.txt/a.txt", 404, R"({"error":"notFound"})"},
        {"/files/up/.hidden/y.txt", 404, R"({"error":"notFound"})"},
        {"/files/nothere/a.txt", 404, R"({"error":"notFound"})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const ClientResponse reply = Put(c.target, "data");
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.body, c.body);
    }
    // Its numbered form would no longer be a valid name.
    const ClientResponse tooLong = Put("/files/up/" + longName, "data");
    EXPECT_EQ(tooLong.status, 409);
    EXPECT_EQ(tooLong.body, R"({"error":"exists"})");
    EXPECT_EQ(ReadFile(m_up / longName), "taken");
    EXPECT_TRUE(TempFilesIn(m_up).empty());
    EXPECT_FALSE(std::filesystem::exists(m_up / ".hidden" / "y.txt"));
}

// Bytes that are not UTF-8 name no item: they are refused, never stored
// with a replacement character in their place.
TEST_F(UploadRoutes, NamesThatAreNotUtf8AreRefusedOnEveryRoute) {
    const struct {
        const char* method;
        const char* target;
    } cases[] = {
        {"PUT", "/files/up/%C3%28.txt"},         {"PUT", "/files/up/%C0%AF.txt"}, // an overlong "/"
        {"PUT", "/files/up/%ED%A0%80.txt"},  // a UTF-16 surrogate
        {"PUT", "/files/up/sub/%FF%FE.txt"}, // bytes that never start a character
        {"PUT", "/files/up%E9/a.txt"},       // in the share's name
        {"GET", "/files/up/%C3%28.txt"},         {"GET", "/api/list?share=up&path=%C3%28"},
        {"GET", "/api/list?share=%C3%28&path="}, {"GET", "/api/thumb?share=up&path=%C3%28.png"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.target);
        const ClientResponse reply = Send(row.method, row.target, {}, "data");
        EXPECT_EQ(reply.status, 400);
        EXPECT_EQ(reply.body, R"({"error":"badName"})");
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_up))
        names.push_back(entry.path().lexically_relative(m_up).string());
    EXPECT_EQ(names, std::vector<std::string>{"sub"});
}

} // namespace
} // namespace Velto::Corvane::Testing
