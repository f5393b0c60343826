// ZIP downloads through the real server, checked by unzip, 7z, bsdtar and
// Python's zipfile.
#include "tests/webapp/zip_test_support.h"

#include "base/unique_fd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <set>

namespace Velto::Corvane::Testing {
namespace {

constexpr std::string_view kZipPolicy =
    "sandbox; default-src 'none'; img-src 'self' data:; media-src 'self'; "
    "style-src 'unsafe-inline'";

std::string HeaderLine(const std::string& head, std::string_view name) {
    const std::size_t at = head.find(std::string(name) + ": ");
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + name.size() + 2;
    return head.substr(start, head.find("\r\n", start) - start);
}

std::set<std::string> Names(const JsonValue& inspected) {
    std::set<std::string> names;
    for (const JsonValue& entry : inspected.Get("entries").AsArray())
        names.insert(entry.Get("name").AsString());
    return names;
}

const JsonValue& EntryNamed(const JsonValue& inspected, std::string_view name) {
    for (const JsonValue& entry : inspected.Get("entries").AsArray()) {
        if (entry.Get("name").AsString() == name)
            return entry;
    }
    ADD_FAILURE() << "no entry " << name;
    static const JsonValue none;
    return none;
}

double Number(const JsonValue& value, std::string_view key) {
    return value.Get(key).AsNumber();
}

class ZipRoutes : public ZipFixture {
protected:
    void SetUp() override {
        ZipFixture::SetUp();
        m_share = Files() / "share";
        std::filesystem::create_directories(m_share);
        std::filesystem::create_directories(Files() / "outside");
        WriteFile("outside/secret.txt", "secret");
        m_config.shares.push_back(MakeShare("00000000000000a1", u"docs", m_share));
        Apply(m_config);
    }

    std::filesystem::path Out(const std::string& name) const { return Root() / name; }

    std::filesystem::path m_share;
    Config m_config;
};

TEST_F(ZipRoutes, OneChosenFileIsAnArchiveEveryReaderAccepts) {
    WriteFile("share/papers/report.pdf", "%PDF-1.4 not really a PDF\n");
    const std::string url = PrepareUrl("docs", "papers", {"report.pdf"});
    const Fetched fetched = Fetch(url, Out("one.zip"));
    ASSERT_EQ(fetched.curlExit, 0) << fetched.headers;
    EXPECT_EQ(fetched.status, 200);
    EXPECT_EQ(HeaderLine(fetched.headers, "Content-Type"), "application/zip");
    EXPECT_EQ(HeaderLine(fetched.headers, "Content-Disposition"),
              "attachment; filename=\"report.pdf.zip\"; filename*=UTF-8''report.pdf.zip");
    EXPECT_EQ(HeaderLine(fetched.headers, "Content-Security-Policy"), kZipPolicy);
    EXPECT_EQ(HeaderLine(fetched.headers, "Transfer-Encoding"), "chunked");
    ExpectReadersAccept(Out("one.zip"));

    const JsonValue inspected = Inspect(Out("one.zip"));
    ASSERT_EQ(inspected.Get("entries").AsArray().size(), 1u);
    const JsonValue& entry = EntryNamed(inspected, "report.pdf");
    EXPECT_EQ(Number(entry, "flags"), 0x0808);
    EXPECT_EQ(Number(entry, "localFlags"), 0x0808);
    EXPECT_EQ(Number(entry, "method"), 0);
    EXPECT_EQ(Number(entry, "versionMadeBy"), 45);
    EXPECT_EQ(Number(entry, "versionNeeded"), 20);
    EXPECT_EQ(Number(entry, "localVersion"), 20);
    EXPECT_EQ(Number(entry, "external"), 0x20);
    EXPECT_EQ(Number(entry, "size"), 26);
    EXPECT_EQ(Number(entry, "localCrc"), 0);
    EXPECT_EQ(Number(entry, "localExtra"), 0);
    const JsonValue& descriptor = entry.Get("descriptor");
    EXPECT_EQ(Number(descriptor, "signature"), 0x08074B50);
    EXPECT_EQ(Number(descriptor, "crc"), Number(entry, "crc"));
    EXPECT_EQ(Number(descriptor, "bytes"), 16);
    EXPECT_EQ(Number(inspected.Get("end"), "count"), 1);
    EXPECT_FALSE(inspected.Get("zip64Locator").AsBool());

    int exitCode;
    EXPECT_EQ(RunCommand("unzip -p '" + Out("one.zip").string() + "' report.pdf", exitCode),
              "%PDF-1.4 not really a PDF\n");

    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].action, "zip");
    EXPECT_EQ(log[0].detail, u"/docs/papers/report.pdf");
    EXPECT_EQ(log[0].result, 200);
    EXPECT_EQ(log[0].size, std::filesystem::file_size(Out("one.zip")));
}

TEST_F(ZipRoutes, AChosenFolderHoldsWhatAVisitorCouldReach) {
    WriteFile("share/album/한글 이름.txt", "안녕하세요");
    WriteFile("share/album/deep/inner.txt", "inner");
    std::filesystem::create_directories(m_share / "album" / "empty");
    WriteFile("share/album/.hidden", "hidden");
    WriteFile("share/album/.vcsupload-0123456789", "partial upload");
    std::filesystem::create_symlink(Files() / "outside", m_share / "album" / "out-dir");
    std::filesystem::create_symlink(Files() / "outside" / "secret.txt", m_share / "album" / "out");
    std::filesystem::create_symlink("deep/inner.txt", m_share / "album" / "in-link");
    // Two links back to the folder itself: followed, they would repeat the
    // folder 2^64 times.
    std::filesystem::create_symlink(".", m_share / "album" / "loop1");
    std::filesystem::create_symlink("..", m_share / "album" / "deep" / "loop2");

    const Fetched fetched = Fetch(PrepareUrl("docs", "", {"album"}), Out("album.zip"));
    ASSERT_EQ(fetched.curlExit, 0);
    EXPECT_EQ(HeaderLine(fetched.headers, "Content-Disposition"),
              "attachment; filename=\"album.zip\"; filename*=UTF-8''album.zip");
    ExpectReadersAccept(Out("album.zip"));
    const JsonValue inspected = Inspect(Out("album.zip"));
    const std::set<std::string> expected = {"album/",       "album/한글 이름.txt",
                                            "album/deep/",  "album/deep/inner.txt",
                                            "album/empty/", "album/in-link"};
    EXPECT_EQ(Names(inspected), expected);

    const JsonValue& folder = EntryNamed(inspected, "album/empty/");
    EXPECT_EQ(Number(folder, "flags"), 0x0800);
    EXPECT_EQ(Number(folder, "external"), 0x10);
    EXPECT_EQ(Number(folder, "size"), 0);
    EXPECT_TRUE(folder.Get("descriptor").IsNull());
    EXPECT_EQ(Number(EntryNamed(inspected, "album/한글 이름.txt"), "flags"), 0x0808);

    // The Korean name survives extraction by the readers that honour the
    // UTF-8 flag. (Debian's unzip 6.0 re-encodes the names of entries made
    // on an MS-DOS host as if they were in the OEM code page, flag or not.)
    for (const std::string& extract :
         {std::string("bsdtar -xf '") + Out("album.zip").string() + "' -C ",
          std::string("7z x -bd '") + Out("album.zip").string() + "' -o"}) {
        SCOPED_TRACE(extract);
        const std::filesystem::path extracted = Root() / "extracted";
        std::filesystem::remove_all(extracted);
        std::filesystem::create_directories(extracted);
        int exitCode;
        const std::string output = RunCommand(extract + "'" + extracted.string() + "'", exitCode);
        EXPECT_EQ(exitCode, 0) << output;
        std::ifstream korean(extracted / "album" / "한글 이름.txt");
        std::string text;
        std::getline(korean, text);
        EXPECT_EQ(text, "안녕하세요");
    }

    // Hidden items join when the configuration shows them; unfinished
    // uploads never do.
    m_config.showHidden = true;
    Apply(m_config);
    Fetch(PrepareUrl("docs", "", {"album"}), Out("hidden.zip"));
    const std::set<std::string> shown = Names(Inspect(Out("hidden.zip")));
    EXPECT_TRUE(shown.contains("album/.hidden"));
    EXPECT_FALSE(shown.contains("album/.vcsupload-0123456789"));
    EXPECT_EQ(shown.size(), expected.size() + 1);
}

TEST_F(ZipRoutes, TheDownloadIsNamedAfterWhatWasChosen) {
    WriteFile("share/a.txt", "a");
    WriteFile("share/b.txt", "b");
    WriteFile("share/sub/c.txt", "c");
    WriteFile("share/sub/d.txt", "d");
    const struct {
        const char* path;
        std::vector<std::string> names;
        const char* fileName;
    } cases[] = {
        {"", {"a.txt", "b.txt"}, "docs.zip"},
        {"", {"sub"}, "sub.zip"},
        {"sub", {"c.txt", "d.txt"}, "sub.zip"},
        {"/sub/", {"d.txt"}, "d.txt.zip"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.fileName);
        const Fetched fetched = Fetch(PrepareUrl("docs", row.path, row.names), Out("named.zip"));
        EXPECT_EQ(HeaderLine(fetched.headers, "Content-Disposition"),
                  std::string("attachment; filename=\"") + row.fileName + "\"; filename*=UTF-8''" +
                      row.fileName);
        EXPECT_EQ(Inspect(Out("named.zip")).Get("entries").AsArray().size(),
                  row.names.front() == "sub" ? 3u : row.names.size());
    }
}

TEST_F(ZipRoutes, ATokenWorksOnceForItsOwnSessionWithinAMinute) {
    WriteFile("share/a.txt", "a");
    m_config.shares.push_back(
        MakeShare("00000000000000a2", u"locked", m_share, AccessFlags::Read, TestHash("pw")));
    Apply(m_config);
    const std::string session =
        SessionCookieOf(Post("/api/unlock", R"({"share":"locked","password":"pw"})"));
    ASSERT_FALSE(session.empty());
    const std::string notFound = R"({"error":"notFound"})";

    // Twice.
    std::string url = PrepareUrl("docs", "", {"a.txt"});
    EXPECT_EQ(Fetch(url, Out("1.zip")).status, 200);
    EXPECT_EQ(Get(url).body, notFound);

    // Exactly one minute later it still works; a millisecond more and it is gone.
    url = PrepareUrl("docs", "", {"a.txt"});
    Advance(60'000);
    EXPECT_EQ(Fetch(url, Out("2.zip")).status, 200);
    url = PrepareUrl("docs", "", {"a.txt"});
    Advance(60'001);
    EXPECT_EQ(Get(url).body, notFound);

    // Bound to the session that prepared it, and used up by a stranger.
    url = PrepareUrl("locked", "", {"a.txt"}, session);
    EXPECT_EQ(Get(url).body, notFound);
    EXPECT_EQ(Get(url, session).body, notFound);
    url = PrepareUrl("docs", "", {"a.txt"});
    EXPECT_EQ(Get(url, session).body, notFound);
    url = PrepareUrl("locked", "", {"a.txt"}, session);
    EXPECT_EQ(Fetch(url, Out("3.zip"), session).status, 200);

    // HEAD uses the token without an archive.
    url = PrepareUrl("docs", "", {"a.txt"});
    const ClientResponse head = Send("HEAD", url);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.Header("content-type"), "application/zip");
    EXPECT_EQ(Get(url).body, notFound);

    // A renamed share still matches by its id; a removed one does not.
    url = PrepareUrl("docs", "", {"a.txt", "missing.txt"});
    m_config.shares[0].name = u"renamed";
    Apply(m_config);
    const Fetched renamed = Fetch(url, Out("4.zip"));
    EXPECT_EQ(renamed.status, 200);
    EXPECT_NE(HeaderLine(renamed.headers, "Content-Disposition").find("renamed.zip"),
              std::string::npos);
    url = PrepareUrl("renamed", "", {"a.txt"});
    m_config.shares.erase(m_config.shares.begin());
    Apply(m_config);
    EXPECT_EQ(Get(url).body, notFound);
    EXPECT_EQ(Get("/zip/").body, notFound);
}

TEST_F(ZipRoutes, PreparingRefusesBadSelections) {
    std::string tooMany = R"({"share":"docs","path":"","names":[)";
    for (int i = 0; i < 10'001; ++i)
        tooMany += (i == 0 ? "" : ",") + std::string("\"n") + std::to_string(i) + "\"";
    std::string tooManyWithBad = tooMany + R"(,"a/b"]})";
    tooMany += "]}";
    const struct {
        const char* name;
        std::string body;
        int status;
        std::string_view reply;
    } cases[] = {
        {"no names", R"({"share":"docs","path":"","names":[]})", 400, R"({"error":"badRequest"})"},
        {"names missing", R"({"share":"docs","path":""})", 400, R"({"error":"badRequest"})"},
        {"names not a list", R"({"share":"docs","names":"a.txt"})", 400,
         R"({"error":"badRequest"})"},
        {"too many", tooMany, 400, R"({"error":"badRequest"})"},
        {"a bad name among too many", tooManyWithBad, 400, R"({"error":"badName"})"},
        {"slash", R"({"share":"docs","names":["a/b"]})", 400, R"({"error":"badName"})"},
        {"dot dot", R"({"share":"docs","names":[".."]})", 400, R"({"error":"badName"})"},
        {"control", R"({"share":"docs","names":["a\u0001"]})", 400, R"({"error":"badName"})"},
        {"not a string", R"({"share":"docs","names":["a.txt",5]})", 400, R"({"error":"badName"})"},
        {"unknown share", R"({"share":"nope","names":["a.txt"]})", 404, R"({"error":"notFound"})"},
        {"bad path", R"({"share":"docs","path":"../x","names":["a.txt"]})", 400,
         R"({"error":"badPath"})"},
        {"not JSON", "names", 400, R"({"error":"badRequest"})"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const ClientResponse reply = Post("/api/zip", row.body);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_EQ(reply.body, row.reply);
    }
    // Names are looked up only when the archive is made; a missing one is
    // left out.
    Fetch(PrepareUrl("docs", "", {"missing.txt"}), Out("empty.zip"));
    const JsonValue empty = Inspect(Out("empty.zip"));
    EXPECT_EQ(empty.Get("entries").AsArray().size(), 0u);
    EXPECT_EQ(empty.Get("end").Get("count").AsNumber(), 0);
    EXPECT_EQ(std::filesystem::file_size(Out("empty.zip")), 22u);
}

// The loopback address 127.0.0.<2 + i>, a client of its own.
std::string Address(int i) {
    return "127.0.0." + std::to_string(2 + i);
}

TEST_F(ZipRoutes, AtMostOneThousandAndOneJobsWait) {
    // Only many clients together reach the table's size.
    const int perClient = static_cast<int>(WebApp::kMaxZipJobsPerClient);
    for (int i = 0; i < 1'001; ++i) {
        const ClientResponse reply =
            Prepare("docs", "", {"a.txt"}, {}, Address(i / perClient).c_str());
        ASSERT_EQ(reply.status, 200) << i;
    }
    const std::string fresh = Address(1'001 / perClient + 1);
    EXPECT_EQ(Prepare("docs", "", {"a.txt"}, {}, fresh.c_str()).body, R"({"error":"busy"})");
    EXPECT_EQ(Prepare("docs", "", {"a.txt"}, {}, fresh.c_str()).status, 503);
    // Expired jobs are purged by the next preparation.
    Advance(60'001);
    EXPECT_EQ(Prepare("docs", "", {"a.txt"}, {}, fresh.c_str()).status, 200);
}

// The attack as found: one guest asking for a thousand jobs in a row. It
// gets its share, everyone else still gets theirs, and a used job frees its
// place at once.
TEST_F(ZipRoutes, OneClientCannotFillTheJobTable) {
    WriteFile("share/a.txt", "a");
    int granted = 0;
    std::string firstUrl;
    for (int i = 0; i < 1'001; ++i) {
        const ClientResponse reply = Prepare("docs", "", {"a.txt"}, {}, "127.0.0.2");
        if (reply.status == 200) {
            ++granted;
            if (firstUrl.empty())
                firstUrl = Json(reply).Get("url").AsString();
        } else {
            EXPECT_EQ(reply.status, 503);
            EXPECT_EQ(reply.body, R"({"error":"busy"})");
        }
    }
    EXPECT_EQ(granted, static_cast<int>(WebApp::kMaxZipJobsPerClient));
    EXPECT_EQ(Prepare("docs", "", {"a.txt"}, {}, "127.0.0.3").status, 200);
    EXPECT_EQ(Fetch(firstUrl, Out("first.zip")).status, 200);
    EXPECT_EQ(Prepare("docs", "", {"a.txt"}, {}, "127.0.0.2").status, 200);
    EXPECT_EQ(Prepare("docs", "", {"a.txt"}, {}, "127.0.0.2").status, 503);
    Advance(60'001);
    EXPECT_EQ(Prepare("docs", "", {"a.txt"}, {}, "127.0.0.2").status, 200);
}

// A signed-in visitor is held to a smaller share, wherever it asks from.
TEST_F(ZipRoutes, OneSessionHoldsFewerJobsThanOneAddress) {
    m_config.accounts.push_back(
        MakeAccount(u"alice", "a", {{"00000000000000a1", AccessFlags::Read}}));
    Apply(m_config);
    const std::string alice = SignIn("alice", "a");
    const int perSession = static_cast<int>(WebApp::kMaxZipJobsPerSession);
    for (int i = 0; i < perSession; ++i)
        ASSERT_EQ(Prepare("docs", "", {"a.txt"}, alice, Address(i).c_str()).status, 200) << i;
    EXPECT_EQ(Prepare("docs", "", {"a.txt"}, alice, "127.0.0.99").status, 503);
    // The address itself still has room for its other visitors.
    EXPECT_EQ(Prepare("docs", "", {"a.txt"}, {}, "127.0.0.2").status, 200);
}

TEST_F(ZipRoutes, AClientThatLeavesMidArchiveLeavesTheServerHealthy) {
    const std::filesystem::path big = m_share / "big.bin";
    {
        const UniqueFd fd(::open(big.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd);
        ASSERT_EQ(::ftruncate(fd.Get(), std::int64_t{1} << 30), 0);
    }
    const std::string url = PrepareUrl("docs", "", {"big.bin"});
    {
        HttpClient client(Port());
        ASSERT_TRUE(client.SendRaw("GET " + url + " HTTP/1.1\r\nHost: test\r\n\r\n"));
        const std::optional<ClientResponse> head = client.ReadResponse(true);
        ASSERT_TRUE(head);
        EXPECT_EQ(head->status, 200);
    } // closed with the archive under way
    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].action, "zip");
    EXPECT_EQ(log[0].detail, u"/docs/big.bin");
    EXPECT_EQ(log[0].result, 500);
    EXPECT_LT(log[0].size, std::uint64_t{1} << 30);
    EXPECT_EQ(Get("/api/session").status, 200);
}

} // namespace
} // namespace Velto::Corvane::Testing
