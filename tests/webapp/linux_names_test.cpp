// Names that Linux allows but other systems refuse (":" "?" "\" device names,
// a trailing dot...) through every route: listed, downloaded under their own
// name, zipped and read back exactly, made by visitors, renamed, deleted to
// the trash and restored. Names with controls stay refused.
#include "server/http/percent_coding.h"
#include "tests/webapp/zip_test_support.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

namespace Velto::Corvane::Testing {
namespace {

// Every one of these is an ordinary name on Linux.
const std::vector<std::string> kLinuxNames = {
    "Meeting 10:30.txt", "What?.txt",       "aux.c",           "CON.txt",         "nul",
    "trailing.",         "trailing ",       "a<b>.txt",        "quote\".txt",     "pipe|x.txt",
    "star*.txt",         "back\\slash.txt", "100% ; sure.txt", "#hash&amp=1.txt",
};
// Names with a control character stay out of every route.
const std::vector<std::string> kRefusedNames = {"tab\tname.txt", "bell\x07", "del\x7f"};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string FileUrl(std::string_view share, std::string_view name) {
    return "/files/" + std::string(share) + "/" + PercentEncode(name, true);
}

// The lines a command prints, without the line ends.
std::set<std::string> OutputLines(const std::string& command) {
    int exitCode = -1;
    const std::string output = RunCommand(command, exitCode);
    EXPECT_EQ(exitCode, 0) << command << "\n" << output;
    std::set<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        lines.insert(line);
    return lines;
}

class LinuxNames : public ZipFixture {
protected:
    void SetUp() override {
        ZipFixture::SetUp();
        m_share = Files() / "names";
        std::filesystem::create_directories(m_share);
        const AccessFlags all = AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete;
        m_config.shares.push_back(MakeShare("00000000000000c1", u"names", m_share, all));
        Apply(m_config);
    }

    std::filesystem::path m_share;
    Config m_config;
};

TEST_F(LinuxNames, AreListedDownloadedUnderTheirOwnNameAndZippedExactly) {
    for (const std::string& name : kLinuxNames)
        WriteFile("names/" + name, "content of " + name);
    for (const std::string& name : kRefusedNames)
        WriteFile("names/" + name, "hidden");

    std::set<std::string> listed;
    const ClientResponse listing = Get("/api/list?share=names");
    ASSERT_EQ(listing.status, 200) << listing.body;
    const JsonValue listedJson = Json(listing);
    for (const JsonValue& item : listedJson.Get("items").AsArray())
        listed.insert(item.Get("name").AsString());
    EXPECT_EQ(listed, std::set<std::string>(kLinuxNames.begin(), kLinuxNames.end()));

    const std::filesystem::path saved = Root() / "saved";
    std::filesystem::create_directories(saved);
    for (const std::string& name : kLinuxNames) {
        SCOPED_TRACE(name);
        const ClientResponse download = Get(FileUrl("names", name));
        ASSERT_EQ(download.status, 200);
        EXPECT_EQ(download.body, "content of " + name);
        // The fallback never carries a raw quote or backslash; filename*
        // carries the exact name.
        const std::string disposition = download.Header("content-disposition");
        const std::size_t star = disposition.find("; filename*=UTF-8''");
        ASSERT_NE(star, std::string::npos) << disposition;
        const std::string fallback = disposition.substr(0, star);
        EXPECT_EQ(fallback.find('\\'), std::string::npos) << disposition;
        EXPECT_EQ(std::count(fallback.begin(), fallback.end(), '"'), 2) << disposition;
        EXPECT_EQ(PercentDecode(disposition.substr(star + 19), false), name) << disposition;

        // curl -J reads the plain filename: it saves the file under its own
        // name wherever that is printable ASCII without quotes.
        if (name.find_first_of("\"\\%;") != std::string::npos)
            continue;
        const std::string url =
            "http://127.0.0.1:" + std::to_string(Port()) + FileUrl("names", name);
        int exitCode = -1;
        const std::string output = RunCommand(
            "cd " + ShellQuoted(saved.string()) + " && curl -sS -OJ " + ShellQuoted(url), exitCode);
        EXPECT_EQ(exitCode, 0) << output;
        EXPECT_EQ(ReadFile(saved / name), "content of " + name);
    }

    const std::filesystem::path archive = Root() / "names.zip";
    const Fetched fetched = Fetch(PrepareUrl("names", "", kLinuxNames), archive);
    ASSERT_EQ(fetched.status, 200) << fetched.headers;
    ExpectReadersAccept(archive);
    std::set<std::string> zipped;
    const JsonValue inspected = Inspect(archive);
    for (const JsonValue& entry : inspected.Get("entries").AsArray())
        zipped.insert(entry.Get("name").AsString());
    EXPECT_EQ(zipped, listed) << "Python's zipfile";
    const std::string path = ShellQuoted(archive.string());
    std::set<std::string> in7z;
    for (const std::string& line : OutputLines("7z l -slt -ba " + path)) {
        if (line.starts_with("Path = "))
            in7z.insert(line.substr(7));
    }
    EXPECT_EQ(in7z, listed) << "7z";
    // bsdtar takes a backslash in a ZIP entry for a Windows separator, as
    // every ZIP reader may: the ZIP format knows only "/".
    std::set<std::string> inBsdtar;
    for (std::string name : listed) {
        std::replace(name.begin(), name.end(), '\\', '/');
        inBsdtar.insert(name);
    }
    EXPECT_EQ(OutputLines("bsdtar -tf " + path), inBsdtar) << "bsdtar";
}

TEST_F(LinuxNames, AreMadeRenamedUploadedAndDeletedToTheTrash) {
    const auto post = [this](std::string_view route, JsonValue body) {
        body.Set("share", JsonValue("names"));
        return Post(route, SerializeJson(body, false));
    };
    WriteFile("names/plain.txt", "plain");
    JsonValue deleted = JsonValue::MakeArray();
    for (const std::string& name : kLinuxNames) {
        SCOPED_TRACE(name);
        // A new folder, and an upload into it.
        JsonValue mkdir = JsonValue::MakeObject();
        mkdir.Set("path", JsonValue(name));
        EXPECT_EQ(post("/api/mkdir", std::move(mkdir)).status, 201);
        const ClientResponse upload =
            Send("PUT", FileUrl("names", name) + "/" + PercentEncode(name, true), {}, name);
        EXPECT_EQ(upload.status, 201) << upload.body;
        EXPECT_EQ(ReadFile(m_share / name / name), name);

        // A rename to the name and back.
        JsonValue there = JsonValue::MakeObject();
        there.Set("path", JsonValue(name + "/" + name));
        there.Set("newName", JsonValue("plain " + name));
        EXPECT_EQ(post("/api/rename", std::move(there)).status, 200);
        JsonValue back = JsonValue::MakeObject();
        back.Set("path", JsonValue(name + "/plain " + name));
        back.Set("newName", JsonValue(name));
        EXPECT_EQ(post("/api/rename", std::move(back)).status, 200);
        EXPECT_EQ(ReadFile(m_share / name / name), name);
        deleted.Append(JsonValue(name + "/" + name));
    }
    JsonValue remove = JsonValue::MakeObject();
    remove.Set("paths", std::move(deleted));
    const ClientResponse removed = post("/api/delete", std::move(remove));
    EXPECT_EQ(removed.status, 200) << removed.body;

    // trash-cli lists the exact original paths and puts one back.
    const std::set<std::string> trashed = OutputLines("trash-list");
    for (const std::string& name : kLinuxNames) {
        const std::string original = (m_share / name / name).string();
        const bool found = std::any_of(trashed.begin(), trashed.end(), [&](const std::string& l) {
            return l.ends_with(" " + original);
        });
        EXPECT_TRUE(found) << original;
        EXPECT_FALSE(std::filesystem::exists(m_share / name / name));
    }
    const std::filesystem::path folder = m_share / "Meeting 10:30.txt";
    int exitCode = -1;
    const std::string restored =
        RunCommand("echo 0 | trash-restore " + ShellQuoted(folder.string()), exitCode);
    EXPECT_EQ(exitCode, 0) << restored;
    EXPECT_EQ(ReadFile(folder / "Meeting 10:30.txt"), "Meeting 10:30.txt");

    // Controls stay refused everywhere.
    for (const std::string& name : kRefusedNames) {
        SCOPED_TRACE(name);
        JsonValue mkdir = JsonValue::MakeObject();
        mkdir.Set("path", JsonValue(name));
        EXPECT_EQ(post("/api/mkdir", std::move(mkdir)).body, R"({"error":"badPath"})");
        EXPECT_EQ(Send("PUT", FileUrl("names", name), {}, "x").body, R"({"error":"badPath"})");
        JsonValue rename = JsonValue::MakeObject();
        rename.Set("path", JsonValue("plain.txt"));
        rename.Set("newName", JsonValue(name));
        EXPECT_EQ(post("/api/rename", std::move(rename)).body, R"({"error":"badName"})");
    }
}

} // namespace
} // namespace Velto::Corvane::Testing
