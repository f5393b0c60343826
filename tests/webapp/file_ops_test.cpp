// New folders, renames and deletion to the trash through the real server;
// what lands in the trash is read back with trash-cli.
#include "tests/webapp/web_app_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace Velto::Corvane::Testing {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct CommandResult {
    int status{-1};
    std::string output;
};

// Runs a shell command line with the test's environment (its HOME and XDG
// folders), collecting standard output and error.
CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        result.output.append(buffer, got);
    result.status = ::pclose(pipe);
    return result;
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

std::string DeleteBody(std::string_view share, const std::vector<std::string>& paths) {
    JsonValue body = JsonValue::MakeObject();
    body.Set("share", JsonValue(std::string(share)));
    JsonValue list = JsonValue::MakeArray();
    for (const std::string& path : paths)
        list.Append(JsonValue(path));
    body.Set("paths", std::move(list));
    return SerializeJson(body, false);
}

class FileOperations : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        m_share = Files() / "share";
        std::filesystem::create_directories(m_share);
        const AccessFlags all = AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete;
        m_config.shares.push_back(MakeShare("00000000000000b1", u"s", m_share, all));
        m_config.shares.push_back(MakeShare("00000000000000b2", u"nodelete", m_share,
                                            AccessFlags::Read | AccessFlags::Write));
        Apply(m_config);
        m_trash = Root() / "data" / "Trash";
    }

    std::filesystem::path m_share;
    std::filesystem::path m_trash;
    Config m_config;
};

TEST_F(FileOperations, MakeFolderCreatesMissingParentsAndReportsExistingOnes) {
    std::filesystem::create_directories(m_share / "a");
    WriteFile("share/file", "f");
    std::filesystem::create_directories(m_share / ".hidden");
    std::filesystem::create_directories(Files() / "outside");
    std::filesystem::create_directory_symlink(Files() / "outside", m_share / "out");
    std::filesystem::create_directory_symlink(m_share / "gone", m_share / "dangling");
    std::filesystem::create_directory_symlink("a", m_share / "inside");
    struct Step {
        const char* body;
        int status;
        const char* reply;
    };
    const Step steps[] = {
        {R"({"share":"s","path":"a/b/c"})", 201, "{}"},
        {R"({"share":"s","path":"a/b/c"})", 409, R"({"error":"exists"})"},
        {R"({"share":"s","path":"a/b/c","parents":true})", 201, "{}"},
        {R"({"share":"s","path":"a/b/c","parents":"yes"})", 409, R"({"error":"exists"})"},
        {R"({"share":"s","path":"file/x"})", 409, R"({"error":"exists"})"},
        {R"({"share":"s","path":"file","parents":true})", 409, R"({"error":"exists"})"},
        {R"({"share":"s","path":".hidden/x/y"})", 404, R"({"error":"notFound"})"},
        {R"({"share":"s","path":".new/x"})", 404, R"({"error":"notFound"})"},
        // Links on the way: one leading outside the share or nowhere is a
        // missing parent; one staying inside is followed.
        {R"({"share":"s","path":"out/x"})", 404, R"({"error":"notFound"})"},
        {R"({"share":"s","path":"out/x/y","parents":true})", 404, R"({"error":"notFound"})"},
        {R"({"share":"s","path":"dangling/x"})", 404, R"({"error":"notFound"})"},
        {R"({"share":"s","path":"out"})", 409, R"({"error":"exists"})"},
        {R"({"share":"s","path":"inside/via"})", 201, "{}"},
        {R"({"share":"s","path":""})", 400, R"({"error":"badPath"})"},
        {R"({"share":"s","path":"a/../b"})", 400, R"({"error":"badPath"})"},
        {R"({"share":"s","path":7})", 400, R"({"error":"badPath"})"},
        {R"({"share":"s","path":"a\tb"})", 400, R"({"error":"badPath"})"},
        {R"(["s","x"])", 400, R"({"error":"badRequest"})"},
        {R"({"share":"nodelete","path":"w"})", 201, "{}"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.body);
        const ClientResponse reply = Post("/api/mkdir", step.body);
        EXPECT_EQ(reply.status, step.status);
        EXPECT_EQ(reply.body, step.reply);
    }
    EXPECT_TRUE(std::filesystem::is_directory(m_share / "a" / "b" / "c"));
    EXPECT_TRUE(std::filesystem::is_directory(m_share / "w"));
    EXPECT_TRUE(std::filesystem::is_directory(m_share / "a" / "via"));
    EXPECT_TRUE(std::filesystem::is_empty(Files() / "outside"));
    // Nothing was made on the way to a folder that could not be entered.
    EXPECT_FALSE(std::filesystem::exists(m_share / ".new"));
    EXPECT_FALSE(std::filesystem::exists(m_share / ".hidden" / "x"));

    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].action, "newFolder");
    EXPECT_EQ(log[0].detail, u"/s/a/b/c");
    EXPECT_EQ(log[0].result, 201);
    EXPECT_EQ(log[2].detail, u"/s/inside/via");
    EXPECT_EQ(log[3].detail, u"/nodelete/w");
}

TEST_F(FileOperations, RenameNeverReplacesAnItem) {
    WriteFile("share/report.txt", "report");
    WriteFile("share/other.txt", "other");
    WriteFile("share/Other.TXT", "upper");
    const auto rename = [this](std::string_view path, std::string_view newName) {
        JsonValue body = JsonValue::MakeObject();
        body.Set("share", JsonValue("s"));
        body.Set("path", JsonValue(std::string(path)));
        body.Set("newName", JsonValue(std::string(newName)));
        return Post("/api/rename", SerializeJson(body, false));
    };
    struct Case {
        const char* path;
        const char* newName;
        int status;
        const char* reply;
    };
    const Case cases[] = {
        {"report.txt", "..", 400, R"({"error":"badName"})"},
        {"report.txt", "new\x7f", 400, R"({"error":"badName"})"},
        {"report.txt", "a/b", 400, R"({"error":"badName"})"},
        {"report.txt", ".VCSUPLOAD-0123", 400, R"({"error":"badName"})"},
        {"report.txt", "", 400, R"({"error":"badName"})"},
        {"", "x", 400, R"({"error":"badName"})"},
        {"missing.txt", "x", 404, R"({"error":"notFound"})"},
        {"report.txt", "other.txt", 409, R"({"error":"exists"})"},
        {"other.txt", "Other.TXT", 409, R"({"error":"exists"})"},
        {"report.txt", "report.txt", 200, "{}"},
        {"report.txt", "Report.TXT", 200, "{}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " -> " + c.newName);
        const ClientResponse reply = rename(c.path, c.newName);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.body, c.reply);
    }
    EXPECT_EQ(ReadFile(m_share / "Report.TXT"), "report");
    EXPECT_FALSE(std::filesystem::exists(m_share / "report.txt"));
    EXPECT_EQ(ReadFile(m_share / "other.txt"), "other");
    EXPECT_EQ(ReadFile(m_share / "Other.TXT"), "upper");

    // A member of the wrong kind reads as empty.
    EXPECT_EQ(Post("/api/rename", R"({"share":"s","path":"Report.TXT","newName":5})").body,
              R"({"error":"badName"})");
    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].action, "rename");
    EXPECT_EQ(log[1].detail, u"/s/report.txt -> Report.TXT");
    EXPECT_EQ(log[1].result, 200);
}

TEST_F(FileOperations, DeleteChecksEveryItemBeforeMovingAny) {
    WriteFile("share/one.txt", "1");
    WriteFile("share/three.txt", "3");
    struct Case {
        const char* name;
        std::string body;
        int status;
        const char* reply;
    };
    const Case cases[] = {
        {"second missing", DeleteBody("s", {"one.txt", "two.txt", "three.txt"}), 404,
         R"({"error":"notFound"})"},
        {"invalid path", DeleteBody("s", {"one.txt", "a/../three.txt"}), 400,
         R"({"error":"badPath"})"},
        {"share root", DeleteBody("s", {"one.txt", "/"}), 400, R"({"error":"badPath"})"},
        {"no paths", DeleteBody("s", {}), 400, R"({"error":"badRequest"})"},
        {"paths not an array", R"({"share":"s","paths":"one.txt"})", 400,
         R"({"error":"badRequest"})"},
        {"non-string element", R"({"share":"s","paths":["one.txt",3]})", 400,
         R"({"error":"badPath"})"},
        {"too many", DeleteBody("s", std::vector<std::string>(10'001, "one.txt")), 400,
         R"({"error":"badRequest"})"},
        {"no delete right", DeleteBody("nodelete", {"one.txt"}), 403, R"({"error":"forbidden"})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ClientResponse reply = Post("/api/delete", c.body);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.body, c.reply);
    }
    EXPECT_EQ(ReadFile(m_share / "one.txt"), "1");
    EXPECT_EQ(ReadFile(m_share / "three.txt"), "3");
    EXPECT_FALSE(std::filesystem::exists(m_trash / "files"));
    EXPECT_TRUE(LogEntries().empty());
}

TEST_F(FileOperations, DeletedItemsAreListedAndRestoredByTrashCli) {
    WriteFile("share/notes.txt", "notes");
    WriteFile("share/sub/notes.txt", "inner notes");
    WriteFile("share/sub/deep/x.bin", std::string(10'000, 'x'));
    WriteFile("share/\xED\x95\x9C \xEA\xB8\x80.txt", "korean");

    const ClientResponse reply =
        Post("/api/delete", DeleteBody("s", {"notes.txt", "sub/notes.txt", "sub/deep",
                                             "\xED\x95\x9C \xEA\xB8\x80.txt"}));
    ASSERT_EQ(reply.status, 200) << reply.body;
    EXPECT_EQ(reply.body, R"({"deleted":4})");
    EXPECT_FALSE(std::filesystem::exists(m_share / "notes.txt"));
    EXPECT_FALSE(std::filesystem::exists(m_share / "sub" / "deep"));
    // The second notes.txt found its name taken in the trash.
    EXPECT_EQ(ReadFile(m_trash / "files" / "notes.txt"), "notes");
    EXPECT_EQ(ReadFile(m_trash / "files" / "notes (2).txt"), "inner notes");
    EXPECT_EQ(ReadFile(m_trash / "info" / "notes (2).txt.trashinfo")
                  .find("[Trash Info]\nPath=" + (m_share / "sub" / "notes.txt").string() +
                        "\nDeletionDate="),
              0u);
    // The moved folder's size is in the trash's size cache.
    const std::string sizes = ReadFile(m_trash / "directorysizes");
    EXPECT_NE(sizes.find(" deep\n"), std::string::npos) << sizes;
    EXPECT_GE(std::stoull(sizes), 10'000u) << sizes;

    const CommandResult listed = RunCommand("trash-list");
    EXPECT_EQ(listed.status, 0) << listed.output;
    for (const std::filesystem::path& original :
         {m_share / "notes.txt", m_share / "sub" / "notes.txt", m_share / "sub" / "deep",
          m_share / "\xED\x95\x9C \xEA\xB8\x80.txt"})
        EXPECT_NE(listed.output.find(" " + original.string() + "\n"), std::string::npos)
            << original << " not in:\n"
            << listed.output;

    // trash-restore offers the items deleted from below the given path and
    // puts back the one chosen.
    const CommandResult restored =
        RunCommand("echo 0 | trash-restore " + Quoted(m_share / "sub" / "deep"));
    EXPECT_EQ(restored.status, 0) << restored.output;
    EXPECT_EQ(std::filesystem::file_size(m_share / "sub" / "deep" / "x.bin"), 10'000u)
        << restored.output;
    EXPECT_FALSE(std::filesystem::exists(m_trash / "files" / "deep"));
    EXPECT_FALSE(std::filesystem::exists(m_trash / "info" / "deep.trashinfo"));

    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].action, "delete");
    EXPECT_EQ(log[0].detail, u"/s/notes.txt");
    EXPECT_EQ(log[2].detail, u"/s/sub/deep");
    EXPECT_EQ(log[3].result, 200);
}

} // namespace
} // namespace Velto::Corvane::Testing
