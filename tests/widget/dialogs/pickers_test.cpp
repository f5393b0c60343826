// Folder and file pickers against stand-in zenity and kdialog scripts put
// first on PATH, and against a stand-in desktop portal on a private bus.
#include "widget/desktop/file_uri.h"
#include "widget/dialogs/pickers.h"

#include "base/diag_log.h"
#include "base/utf.h"
#include "tests/support/session_bus.h"
#include "tests/support/temp_home.h"
#include "tests/widget/desktop/peer_process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <mutex>
#include <sstream>

namespace Velto::Widget::Kit {
namespace {

namespace fs = std::filesystem;

using Testing::PeerCommand;
using Testing::PeerProcess;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// A stand-in dialog tool: records its arguments (NUL-separated), prints
// <tool>.out and exits with <tool>.exit.
void WriteStub(const fs::path& bin, const std::string& tool) {
    const fs::path script = bin / tool;
    const std::string dir = bin.string();
    WriteFile(script, "#!/bin/sh\n"
                      "PATH=/usr/bin:/bin\n"
                      "printf '%s\\0' \"$@\" > '" +
                          dir + "/" + tool +
                          ".args'\n"
                          "cat '" +
                          dir + "/" + tool +
                          ".out' 2>/dev/null\n"
                          "exit $(cat '" +
                          dir + "/" + tool + ".exit' 2>/dev/null || echo 0)\n");
    fs::permissions(script, fs::perms::owner_all);
}

class PickersTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_bin = m_home.root + "/bin";
        m_files = m_home.root + "/files";
        fs::create_directories(m_bin);
        fs::create_directories(m_files / "folder one");
        fs::create_directories(m_files / "folder two");
        WriteFile(m_files / "cert.pfx", "x");
        WriteFile(m_files / "a b.txt", "x");
        m_home.Set("XDG_RUNTIME_DIR", m_home.root);
        ASSERT_TRUE(m_bus.Start()); // a bus without a portal
        // Only the stand-ins are found: a real zenity on the machine never runs.
        m_home.Set("PATH", m_bin.string());
    }

    void Tool(const std::string& tool, const std::string& out, int exitCode = 0) {
        WriteStub(m_bin, tool);
        WriteFile(m_bin / (tool + ".out"), out);
        WriteFile(m_bin / (tool + ".exit"), std::to_string(exitCode));
    }

    std::vector<std::string> Args(const std::string& tool) {
        const fs::path file = m_bin / (tool + ".args");
        if (!fs::exists(file))
            return {};
        std::vector<std::string> args;
        const std::string text = ReadFile(file);
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
            args.push_back(text.substr(start, end - start));
        return args;
    }
    bool Ran(const std::string& tool) { return fs::exists(m_bin / (tool + ".args")); }
    std::string File(const std::string& name) { return (m_files / name).string(); }

    Corvane::Testing::TempHome m_home;
    Velto::Testing::SessionBus m_bus;
    fs::path m_bin;
    fs::path m_files;
};

TEST_F(PickersTest, ZenityChoicesComeBackWithTheRightArguments) {
    Tool("zenity", File("folder one") + "\n");
    const PickerOwner owner{0x1e00005, {}};
    EXPECT_EQ(PickFolder(owner, u"공유할 폴더", m_files.string()), File("folder one"));
    EXPECT_EQ(Args("zenity"),
              (std::vector<std::string>{"--file-selection", "--title=공유할 폴더", "--directory",
                                        "--filename=" + m_files.string() + "/", "--modal",
                                        "--attach=0x1e00005"}));

    Tool("zenity", File("cert.pfx") + "\n");
    const std::vector<FileFilter> filters{{u"Certificates", u"*.pfx;*.p12"}, {u"All files", u"*"}};
    EXPECT_EQ(PickFile({}, u"Certificate", filters), File("cert.pfx"));
    EXPECT_EQ(Args("zenity"), (std::vector<std::string>{"--file-selection", "--title=Certificate",
                                                        "--file-filter=Certificates | *.pfx *.p12",
                                                        "--file-filter=All files | *"}));

    // Several files: one per line; one that does not exist is left out.
    Tool("zenity", File("a b.txt") + "\n" + File("gone.txt") + "\n" + File("cert.pfx") + "\n");
    EXPECT_EQ(PickMany({}, u"Files", false),
              (std::vector<std::string>{File("a b.txt"), File("cert.pfx")}));
    EXPECT_EQ(Args("zenity"), (std::vector<std::string>{"--file-selection", "--title=Files",
                                                        "--multiple", "--separator=\n"}));
    Tool("zenity", File("folder one") + "\n" + File("cert.pfx") + "\n" + File("folder two"));
    EXPECT_EQ(PickMany({}, u"Folders", true),
              (std::vector<std::string>{File("folder one"), File("folder two")}));
    EXPECT_FALSE(Ran("kdialog"));
}

TEST_F(PickersTest, WrongKindsAndCancelGiveNoResult) {
    struct Case {
        const char* what;
        std::string out;
        int exitCode;
        bool folder;
    };
    const std::vector<Case> cases = {
        {"missing file", File("nothing.txt") + "\n", 0, false},
        {"folder for a file", File("folder one") + "\n", 0, false},
        {"file for a folder", File("cert.pfx") + "\n", 0, true},
        {"relative path", "cert.pfx\n", 0, false},
        {"empty answer", "", 0, false},
        {"cancelled", File("cert.pfx") + "\n", 1, false},
    };
    Tool("kdialog", File("cert.pfx") + "\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tool("zenity", c.out, c.exitCode);
        if (c.folder)
            EXPECT_EQ(PickFolder({}, u"t", ""), std::nullopt);
        else
            EXPECT_EQ(PickFile({}, u"t", {}), std::nullopt);
    }
    // A cancel ends the asking; no other tool is tried.
    EXPECT_FALSE(Ran("kdialog"));
    EXPECT_TRUE(PickMany({}, u"t", false).empty());
}

TEST_F(PickersTest, KdialogStandsInWhenZenityIsMissingOrFails) {
    Tool("kdialog", File("cert.pfx") + "\n");
    const std::vector<FileFilter> filters{{u"Certificates", u"*.pfx; *.p12"}};
    EXPECT_EQ(PickFile({42, {}}, u"Certificate", filters), File("cert.pfx"));
    EXPECT_EQ(Args("kdialog"),
              (std::vector<std::string>{"--getopenfilename", ".", "*.pfx *.p12|Certificates",
                                        "--title", "Certificate", "--attach", "0x2a"}));

    // A zenity that fails (say, an option it does not know) is passed over.
    Tool("zenity", "", 255);
    Tool("kdialog", File("folder two") + "\n");
    EXPECT_EQ(PickFolder({}, u"Folder", m_files.string()), File("folder two"));
    EXPECT_TRUE(Ran("zenity"));
    EXPECT_EQ(Args("kdialog"),
              (std::vector<std::string>{"--getexistingdirectory", m_files.string() + "/", "--title",
                                        "Folder"}));

    Tool("kdialog", File("a b.txt") + "\n" + File("cert.pfx") + "\n");
    EXPECT_EQ(PickMany({}, u"Files", false),
              (std::vector<std::string>{File("a b.txt"), File("cert.pfx")}));
    EXPECT_EQ(Args("kdialog"), (std::vector<std::string>{"--getopenfilename", ".", "--multiple",
                                                         "--separate-output", "--title", "Files"}));
}

TEST_F(PickersTest, NothingToAskWithLogsAndGivesNoResult) {
    std::mutex mutex;
    std::vector<std::string> logged;
    const int sink = Net::DiagLog::Instance().AddSink([&](const Net::LogRecord& record) {
        const std::lock_guard lock(mutex);
        logged.push_back(Utf16ToUtf8(record.message));
    });
    EXPECT_EQ(PickFile({}, u"t", {}), std::nullopt);
    Net::DiagLog::Instance().RemoveSink(sink);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("no display for the toolkit's own dialog"), std::string::npos);
}

TEST_F(PickersTest, TheOwnersLoopRunsWhileTheDialogIsOpen) {
    Tool("zenity", File("cert.pfx") + "\n");
    int rounds = 0;
    PickerOwner owner;
    owner.runUntil = [&](const std::function<bool()>& done) {
        while (!done()) {
            ++rounds;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    EXPECT_EQ(PickFile(owner, u"t", {}), File("cert.pfx"));
    EXPECT_GT(rounds, 0);
}

class PortalPickerTest : public PickersTest {
protected:
    void StartPortal(const std::string& answer) {
        m_answers = m_home.root + "/portal.json";
        WriteFile(m_answers, answer);
        std::vector<std::string> command = PeerCommand("portal");
        command.push_back(m_answers);
        ASSERT_TRUE(m_portal.Start(command));
    }
    std::string LastRequest() {
        const std::string all = ReadFile(m_answers + ".requests");
        const std::size_t end = all.find_last_of('\n');
        const std::size_t start = all.find_last_of('\n', end - 1);
        return all.substr(start == std::string::npos ? 0 : start + 1,
                          end - (start == std::string::npos ? 0 : start + 1));
    }

    PeerProcess m_portal;
    std::string m_answers;
};

TEST_F(PortalPickerTest, PortalAnswersAreDecodedAndItsOptionsSent) {
    Tool("zenity", File("folder two") + "\n");
    const std::string uri = "file://" + m_files.string() + "/a%20b.txt";
    StartPortal(R"({"response": 0, "uris": [")" + uri + R"(", "https://example.com/x"]})");
    const std::vector<FileFilter> filters{{u"Text", u"*.txt"}, {u"Certificates", u"*.pfx;*.p12"}};
    EXPECT_EQ(PickFile({0x1234, {}}, u"Open", filters), File("a b.txt"));
    EXPECT_EQ(
        LastRequest(),
        R"({"parent": "x11:1234", "title": "Open", "directory": false, "multiple": false, )"
        R"("filters": [["Text", [[0, "*.txt"]]], ["Certificates", [[0, "*.pfx"], [0, "*.p12"]]]], )"
        R"("current_filter": ["Text", [[0, "*.txt"]]], "current_folder": null})");

    WriteFile(m_answers,
              R"({"response": 0, "uris": ["file://)" + m_files.string() + R"(/folder%20one"]})");
    EXPECT_EQ(PickFolder({}, u"Folder", m_files.string()), File("folder one"));
    EXPECT_EQ(LastRequest(),
              R"({"parent": "", "title": "Folder", "directory": true, "multiple": false, )"
              R"("filters": [], "current_filter": null, "current_folder": ")" +
                  m_files.string() + R"("})");
    EXPECT_FALSE(Ran("zenity"));

    // Cancelled in the portal: nothing else is asked.
    WriteFile(m_answers, R"({"response": 1})");
    EXPECT_TRUE(PickMany({}, u"Files", false).empty());
    EXPECT_NE(LastRequest().find(R"("multiple": true)"), std::string::npos);
    EXPECT_FALSE(Ran("zenity"));
}

TEST(FileUriTest, LocalUrisBecomePaths) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"file:///home/a%20b/c.txt", "/home/a b/c.txt"},
        {"FILE://localhost/tmp/x", "/tmp/x"},
        {"File://LocalHost/a%2fb%2F", "/a/b/"},
        {"file:///%ED%95%9C%EA%B8%80", "/한글"},
        {"file://otherhost/tmp/x", std::nullopt},
        {"https://example.com/x", std::nullopt},
        {"file:///tmp/%2", std::nullopt},
        {"file:///tmp/%zz", std::nullopt},
        {"file:///tmp/%00x", std::nullopt},
        {"file:///tmp/x?y", std::nullopt},
        {"file://", std::nullopt},
    };
    for (const auto& [uri, path] : cases)
        EXPECT_EQ(PathFromFileUri(uri), path) << uri;
}

// Both the portal and the dialog tools get the patterns of a filter this way.
TEST(FileFilterTest, PatternsAreTrimmedAndEmptyPiecesLeftOut) {
    const std::vector<std::pair<std::u16string, std::vector<std::string>>> cases = {
        {u"*.pfx;*.p12", {"*.pfx", "*.p12"}},
        {u" *.pfx ; *.p12 ", {"*.pfx", "*.p12"}},
        {u"*.a;;*.b;", {"*.a", "*.b"}},
        {u"*", {"*"}},
        {u"", {}},
        {u" ; ", {}},
        {u"*.한글", {"*.한글"}},
    };
    for (const auto& [pattern, expected] : cases)
        EXPECT_EQ(FilterPatterns(FileFilter{u"Files", pattern}), expected) << Utf16ToUtf8(pattern);
}

} // namespace
} // namespace Velto::Widget::Kit
