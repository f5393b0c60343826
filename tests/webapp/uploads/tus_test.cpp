// Resumable uploads through the real server: pieces, a restart of the web
// application in between, owners, expiry, and the refusals of the protocol.
#include "tests/webapp/web_app_fixture.h"

#include "webapp/uploads/upload_record.h"
#include "webapp/uploads/upload_state_store.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace Velto::Corvane::Testing {
namespace {

constexpr std::string_view kKeyA = "0123456789abcdef0123456789abcdef";
constexpr std::string_view kKeyB = "fedcba9876543210fedcba9876543210";
constexpr std::uint64_t kDayMs = 86'400'000;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<std::uint8_t>(bytes[i + 2]);
        out += kDigits[(group >> 18) & 63];
        out += kDigits[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
    }
    return out;
}

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return bytes;
}

class TusRoutes : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        m_up = Files() / "up";
        m_state = Root() / "state" / "uploads";
        std::filesystem::create_directories(m_up / "sub");
        const AccessFlags all = AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete;
        m_config.shares.push_back(MakeShare("00000000000000b1", u"up", m_up, all));
        m_config.shares.push_back(MakeShare("00000000000000b2", u"small", m_up, all));
        m_config.shares.back().maxUploadBytes = 1000;
        m_config.shares.push_back(MakeShare("00000000000000b3", u"ro", m_up));
        m_config.shares.push_back(MakeShare("00000000000000b4", u"writeonly", m_up,
                                            AccessFlags::Read | AccessFlags::Write));
        Apply(m_config);
        ASSERT_TRUE(App().OpenUploadState(m_state.string()));
    }

    static std::vector<std::string> Headers(std::string_view key,
                                            std::vector<std::string> more = {}) {
        more.push_back("Tus-Resumable: 1.0.0");
        more.push_back("x-veltocorvane: 1");
        if (!key.empty())
            more.push_back("Cookie: vcu=" + std::string(key));
        return more;
    }

    ClientResponse Create(std::string_view share, std::string_view folder, std::string_view name,
                          std::uint64_t length, std::string_view key = kKeyA,
                          std::string extraMetadata = {}) {
        std::string metadata = "share " + Base64(share) + ",filename " + Base64(name) +
                               ",filetype " + Base64("application/octet-stream");
        if (!folder.empty())
            metadata += ",path " + Base64(folder);
        metadata += extraMetadata;
        return Send("POST", "/api/uploads/", {}, {},
                    Headers(key, {"Upload-Length: " + std::to_string(length),
                                  "Upload-Metadata: " + metadata}));
    }

    ClientResponse Patch(std::string_view location, std::uint64_t offset, std::string_view bytes,
                         std::string_view key = kKeyA) {
        return Send("PATCH", location, {}, bytes,
                    Headers(key, {"Upload-Offset: " + std::to_string(offset),
                                  "Content-Type: application/offset+octet-stream"}));
    }

    ClientResponse Head(std::string_view location, std::string_view key = kKeyA) {
        return Send("HEAD", location, {}, {}, Headers(key));
    }

    std::vector<std::string> TempFiles(const std::filesystem::path& folder) const {
        std::vector<std::string> names = NamesIn(folder);
        std::erase_if(names,
                      [](const std::string& name) { return !name.starts_with(".vcsupload-"); });
        return names;
    }

    std::filesystem::path m_up;
    std::filesystem::path m_state;
    Config m_config;
};

TEST_F(TusRoutes, PiecesSurviveARestartAndCompleteUnderANumberedName) {
    WriteFile("up/sub/movie.bin", "taken");
    const std::string bytes = Pattern(300'000);
    const ClientResponse created = Create("up", "sub", "movie.bin", bytes.size());
    ASSERT_EQ(created.status, 201) << created.body;
    const std::string location = created.Header("location");
    ASSERT_TRUE(location.starts_with("/api/uploads/")) << location;
    EXPECT_EQ(location.size(), std::string("/api/uploads/").size() + 32);
    EXPECT_EQ(created.Header("tus-resumable"), "1.0.0");
    EXPECT_FALSE(created.Header("upload-expires").empty());

    const ClientResponse first = Patch(location, 0, std::string_view(bytes).substr(0, 100'000));
    EXPECT_EQ(first.status, 204) << first.body;
    EXPECT_EQ(first.Header("upload-offset"), "100000");

    // The partial file is hidden from listings and from every route.
    const std::vector<std::string> temps = TempFiles(m_up / "sub");
    ASSERT_EQ(temps.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(m_up / "sub" / temps[0]), 100'000u);
    const ClientResponse listing = Get("/api/list?share=up&path=sub");
    EXPECT_EQ(listing.status, 200);
    EXPECT_EQ(listing.body.find("vcsupload"), std::string::npos) << listing.body;
    EXPECT_EQ(Get("/files/up/sub/" + temps[0]).status, 404);

    // A new run of the web application takes the upload over from the data folder.
    ASSERT_TRUE(App().OpenUploadState(m_state.string()));
    const ClientResponse head = Head(location);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.Header("upload-offset"), "100000");
    EXPECT_EQ(head.Header("upload-length"), "300000");
    EXPECT_EQ(head.Header("cache-control"), "no-store");

    const ClientResponse stale = Patch(location, 0, "x");
    EXPECT_EQ(stale.status, 409);
    EXPECT_EQ(stale.Header("upload-offset"), "100000");

    const ClientResponse last = Patch(location, 100'000, std::string_view(bytes).substr(100'000));
    EXPECT_EQ(last.status, 204) << last.body;
    EXPECT_EQ(last.Header("upload-offset"), "300000");
    EXPECT_EQ(last.Header("upload-name"), "movie%20%282%29.bin");
    EXPECT_EQ(ReadFile(m_up / "sub" / "movie (2).bin"), bytes);
    EXPECT_EQ(ReadFile(m_up / "sub" / "movie.bin"), "taken");
    EXPECT_TRUE(TempFiles(m_up / "sub").empty());
    EXPECT_TRUE(NamesIn(m_state).empty());
    EXPECT_EQ(Head(location).status, 404);

    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().action, "upload");
    EXPECT_EQ(log.back().detail, u"/up/sub/movie (2).bin");
    EXPECT_EQ(log.back().result, 201);
    EXPECT_EQ(log.back().size, 300'000u);
}

// Pieces are flushed and recorded once per checkpoint interval, so the record
// may lag behind the partial file but never names bytes the disk may lack.
// After a system restart (another boot) only the recorded offset counts, and
// whatever lies past it is sent again.
TEST_F(TusRoutes, TheRecordedOffsetNeverRunsAheadOfTheFlushedBytes) {
    const std::string bytes = Pattern(300'000);
    const ClientResponse created = Create("up", "", "lagging.bin", bytes.size());
    ASSERT_EQ(created.status, 201) << created.body;
    const std::string location = created.Header("location");
    const std::filesystem::path record =
        m_state / (location.substr(std::string("/api/uploads/").size()) + ".json");
    const auto recordedOffset = [&] {
        const std::optional<UploadRecord> parsed = ParseUploadRecord(ReadFile(record));
        return parsed ? parsed->offset : ~std::uint64_t{0};
    };
    const auto partialSize = [&] {
        const std::vector<std::string> temps = TempFiles(m_up);
        return temps.size() == 1 ? std::filesystem::file_size(m_up / temps[0]) : 0;
    };

    // Before the interval has passed, a piece is answered without a checkpoint.
    ASSERT_EQ(Patch(location, 0, std::string_view(bytes).substr(0, 100'000)).status, 204);
    EXPECT_EQ(recordedOffset(), 0u);
    EXPECT_EQ(partialSize(), 100'000u);
    Advance(UploadStateStore::kCheckpointMs);
    ASSERT_EQ(Patch(location, 100'000, std::string_view(bytes).substr(100'000, 100'000)).status,
              204);
    EXPECT_EQ(recordedOffset(), 200'000u);
    // Bytes that will be lost with the page cache: they differ from the real ones.
    const ClientResponse third = Patch(location, 200'000, std::string(50'000, 'x'));
    ASSERT_EQ(third.status, 204);
    EXPECT_EQ(third.Header("upload-offset"), "250000");
    EXPECT_EQ(Head(location).Header("upload-offset"), "250000");
    EXPECT_EQ(recordedOffset(), 200'000u);
    EXPECT_EQ(partialSize(), 250'000u);

    // Started again after a system restart.
    std::optional<UploadRecord> parsed = ParseUploadRecord(ReadFile(record));
    ASSERT_TRUE(parsed);
    EXPECT_FALSE(parsed->boot.empty());
    parsed->boot = "00000000-0000-0000-0000-000000000000";
    std::ofstream(record, std::ios::binary | std::ios::trunc) << SerializeUploadRecord(*parsed);
    ASSERT_TRUE(App().OpenUploadState(m_state.string()));
    EXPECT_EQ(Head(location).Header("upload-offset"), "200000");
    const ClientResponse ahead = Patch(location, 250'000, std::string_view(bytes).substr(250'000));
    EXPECT_EQ(ahead.status, 409);
    EXPECT_EQ(ahead.Header("upload-offset"), "200000");
    const ClientResponse rest = Patch(location, 200'000, std::string_view(bytes).substr(200'000));
    ASSERT_EQ(rest.status, 204) << rest.body;
    EXPECT_EQ(rest.Header("upload-offset"), "300000");
    EXPECT_EQ(ReadFile(m_up / "lagging.bin"), bytes);
    EXPECT_TRUE(TempFiles(m_up).empty());
    EXPECT_TRUE(NamesIn(m_state).empty());
}

TEST_F(TusRoutes, OnlyTheCreatorReachesAnUpload) {
    const ClientResponse created = Create("up", "", "mine.bin", 10);
    ASSERT_EQ(created.status, 201);
    const std::string location = created.Header("location");
    ASSERT_EQ(Patch(location, 0, "12345").status, 204);

    for (const std::string_view key : {kKeyB, std::string_view{}}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(Head(location, key).status, 403);
        EXPECT_EQ(Patch(location, 5, "67890", key).status, 403);
        EXPECT_EQ(Send("DELETE", location, {}, {}, Headers(key)).status, 403);
    }
    // A signed-in visitor with the same key is someone else too.
    Config withAccount = m_config;
    withAccount.accounts.push_back(
        MakeAccount(u"kim", "pw", {{"00000000000000b1", AccessFlags::Read | AccessFlags::Write}}));
    Apply(withAccount);
    const std::string session = SignIn("kim", "pw");
    EXPECT_EQ(Send("HEAD", location, {}, {},
                   Headers({}, {"Cookie: vcs=" + session + "; vcu=" + std::string(kKeyA)}))
                  .status,
              403);
    Apply(m_config);

    EXPECT_EQ(Head(location).Header("upload-offset"), "5");
    ASSERT_EQ(TempFiles(m_up).size(), 1u);
    const ClientResponse ended = Send("DELETE", location, {}, {}, Headers(kKeyA));
    EXPECT_EQ(ended.status, 204);
    EXPECT_TRUE(TempFiles(m_up).empty());
    EXPECT_TRUE(NamesIn(m_state).empty());
    EXPECT_EQ(Head(location).status, 404);
    EXPECT_FALSE(std::filesystem::exists(m_up / "mine.bin"));
}

TEST_F(TusRoutes, AServerMadeKeyComesInACookie) {
    const ClientResponse created = Create("up", "", "k.bin", 4, {});
    ASSERT_EQ(created.status, 201);
    const std::string cookie = created.Header("set-cookie");
    ASSERT_TRUE(cookie.starts_with("vcu=")) << cookie;
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    const std::string key = cookie.substr(4, 32);
    EXPECT_EQ(Patch(created.Header("location"), 0, "abcd", key).status, 204);
    EXPECT_EQ(ReadFile(m_up / "k.bin"), "abcd");
}

TEST_F(TusRoutes, AnIdleUploadExpiresWithItsPartialFile) {
    const ClientResponse created = Create("up", "", "idle.bin", 100);
    ASSERT_EQ(created.status, 201);
    const std::string location = created.Header("location");
    ASSERT_EQ(Patch(location, 0, "half").status, 204);

    Advance(kDayMs - 1000);
    EXPECT_EQ(Head(location).status, 200);
    ASSERT_EQ(Patch(location, 4, "more").status, 204); // a piece renews the day
    Advance(kDayMs - 1000);
    EXPECT_EQ(Head(location).status, 200);
    Advance(2000);
    EXPECT_EQ(Head(location).status, 404);
    EXPECT_TRUE(TempFiles(m_up).empty());
    EXPECT_TRUE(NamesIn(m_state).empty());
}

TEST_F(TusRoutes, AStartRemovesExpiredUploadsAndLeftovers) {
    const ClientResponse created = Create("up", "", "old.bin", 100);
    ASSERT_EQ(created.status, 201);
    ASSERT_EQ(Patch(created.Header("location"), 0, "old").status, 204);
    const ClientResponse fresh = Create("up", "", "fresh.bin", 100);
    ASSERT_EQ(fresh.status, 201);
    ASSERT_EQ(TempFiles(m_up).size(), 2u);

    // The first upload was last touched 25 hours ago by the wall clock.
    const std::string id = created.Header("location").substr(std::string("/api/uploads/").size());
    const std::filesystem::path record = m_state / (id + ".json");
    std::optional<UploadRecord> parsed = ParseUploadRecord(ReadFile(record));
    ASSERT_TRUE(parsed);
    parsed->touchedUnix -= 25 * 3600;
    std::ofstream(record, std::ios::binary | std::ios::trunc) << SerializeUploadRecord(*parsed);
    // A PUT the last run never finished, and a record cut off mid-write.
    WriteFile("up/.vcsupload-00112233aabbccdd", "partial put");
    UploadRecord put;
    put.kind = UploadRecord::Kind::Put;
    put.folder = m_up.string();
    put.temp = ".vcsupload-00112233aabbccdd";
    std::ofstream(m_state / "put-0011223344556677.json") << SerializeUploadRecord(put);
    std::ofstream(m_state / "ffffffffffffffffffffffffffffffff.json") << "{\"kind\":\"tus\",";

    ASSERT_TRUE(App().OpenUploadState(m_state.string()));
    EXPECT_EQ(Head(created.Header("location")).status, 404);
    EXPECT_EQ(Head(fresh.Header("location")).status, 200);
    EXPECT_EQ(TempFiles(m_up).size(), 1u);
    const std::string freshId =
        fresh.Header("location").substr(std::string("/api/uploads/").size());
    EXPECT_EQ(NamesIn(m_state), std::vector<std::string>{freshId + ".json"});
}

TEST_F(TusRoutes, Refusals) {
    WriteFile("up/exists.txt", "x");
    const std::string location = Create("up", "", "r.bin", 10).Header("location");
    ASSERT_FALSE(location.empty());
    const std::vector<std::string> withoutVersion = {"x-veltocorvane: 1",
                                                     "Cookie: vcu=" + std::string(kKeyA)};
    struct Case {
        const char* name;
        ClientResponse reply;
        int status;
        const char* body;
    };
    const Case cases[] = {
        {"no Tus-Resumable", Send("HEAD", location, {}, {}, withoutVersion), 412, ""},
        {"other version",
         Send("POST", "/api/uploads/", {}, {},
              {"Tus-Resumable: 0.2.2", "Upload-Length: 1", "x-veltocorvane: 1"}),
         412, R"({"error":"tusVersion"})"},
        {"no CSRF header on PATCH",
         Send("PATCH", location, {}, "ab",
              {"Tus-Resumable: 1.0.0", "Cookie: vcu=" + std::string(kKeyA), "Upload-Offset: 0",
               "Content-Type: application/offset+octet-stream"}),
         403, R"({"error":"csrf"})"},
        {"no CSRF header on POST",
         Send("POST", "/api/uploads/", {}, {}, {"Tus-Resumable: 1.0.0", "Upload-Length: 1"}, false),
         403, R"({"error":"csrf"})"},
        {"over the share's limit", Create("small", "", "big.bin", 1001), 413,
         R"({"error":"tooLarge"})"},
        {"at the share's limit", Create("small", "", "ok.bin", 1000), 201, ""},
        {"read-only share", Create("ro", "", "a.bin", 5), 403, R"({"error":"forbidden"})"},
        {"overwrite without Delete",
         Create("writeonly", "", "exists.txt", 5, kKeyA, ",overwrite " + Base64("1")), 403,
         R"({"error":"forbidden"})"},
        {"no such share", Create("nope", "", "a.bin", 5), 404, R"({"error":"notFound"})"},
        {"no such folder", Create("up", "missing", "a.bin", 5), 404, R"({"error":"notFound"})"},
        {"a path as file name", Create("up", "", "a/b.bin", 5), 400, R"({"error":"badPath"})"},
        {"a temporary name", Create("up", "", ".vcsupload-0123456789abcdef", 5), 400,
         R"({"error":"badPath"})"},
        {"climbing out", Create("up", "..", "a.bin", 5), 400, R"({"error":"badPath"})"},
        {"broken metadata",
         Send("POST", "/api/uploads/", {}, {},
              Headers(kKeyA, {"Upload-Length: 5", "Upload-Metadata: share dXA,filename YQ=="})),
         400, R"({"error":"badRequest"})"},
        {"no length",
         Send("POST", "/api/uploads/", {}, {},
              Headers(kKeyA, {"Upload-Metadata: share dXA=,filename YQ=="})),
         400, R"({"error":"badRequest"})"},
        {"a signed length",
         Send("POST", "/api/uploads/", {}, {},
              Headers(kKeyA, {"Upload-Length: +5", "Upload-Metadata: share dXA=,filename YQ=="})),
         400, R"({"error":"badRequest"})"},
        {"wrong content type",
         Send("PATCH", location, {}, "ab",
              Headers(kKeyA, {"Upload-Offset: 0", "Content-Type: application/octet-stream"})),
         415, R"({"error":"contentType"})"},
        {"past the length", Patch(location, 0, "0123456789A"), 413, R"({"error":"tooLarge"})"},
        {"unknown upload", Head("/api/uploads/00000000000000000000000000000000"), 404, ""},
        {"not an upload id", Head("/api/uploads/zz"), 404, ""},
        {"GET of an upload", Send("GET", location, {}, {}, Headers(kKeyA)), 405,
         R"({"error":"method"})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.reply.status, c.status) << c.reply.body;
        if (*c.body != '\0') {
            EXPECT_EQ(c.reply.body, c.body);
        }
    }
    EXPECT_EQ(Head(location).Header("upload-offset"), "0");
    EXPECT_EQ(ReadFile(m_up / "exists.txt"), "x");

    const ClientResponse options = Send("OPTIONS", "/api/uploads/", {}, {}, {});
    EXPECT_EQ(options.status, 204);
    EXPECT_EQ(options.Header("tus-version"), "1.0.0");
    EXPECT_EQ(options.Header("tus-extension"), "creation,termination,expiration");
}

TEST_F(TusRoutes, AnEmptyFileIsCompleteAtCreation) {
    const ClientResponse created = Create("up", "", "empty.txt", 0);
    EXPECT_EQ(created.status, 201);
    EXPECT_EQ(created.Header("upload-name"), "empty.txt");
    EXPECT_TRUE(std::filesystem::exists(m_up / "empty.txt"));
    EXPECT_EQ(std::filesystem::file_size(m_up / "empty.txt"), 0u);
    EXPECT_TRUE(TempFiles(m_up).empty());
    EXPECT_TRUE(NamesIn(m_state).empty());
}

} // namespace
} // namespace Velto::Corvane::Testing
