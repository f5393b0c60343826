// Shares on a file system of their own: a small tmpfs mounted over the share
// folder inside this process's private mount namespace. Deleted items go to
// that mount's trash (never copied to the home trash); a mount without a
// usable trash refuses deletion; a full disk refuses uploads.
#include "tests/webapp/web_app_fixture.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace Velto::Corvane::Testing {
namespace {

constexpr const char* kTmpfsOptions = "size=4m,mode=0755";

// Set by main: whether the process got a mount namespace of its own.
bool g_privateMounts = false;
std::string g_namespaceError;

bool WriteText(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// A mount namespace for this process alone, entered while it has one thread.
// Without privileges a user namespace comes with it, mapping the user to
// itself, so trash folders keep the user's id.
bool EnterPrivateMountNamespace(std::string& error) {
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::geteuid() == 0) {
        if (::unshare(CLONE_NEWNS) != 0) {
            error = "unshare(CLONE_NEWNS) failed";
            return false;
        }
    } else {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            error = "unshare(CLONE_NEWUSER | CLONE_NEWNS) failed";
            return false;
        }
        if (!WriteText("/proc/self/setgroups", "deny") ||
            !WriteText("/proc/self/uid_map",
                       std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
            !WriteText("/proc/self/gid_map",
                       std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
            error = "user namespace mapping failed";
            return false;
        }
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        error = "making the mounts private failed";
        return false;
    }
    return true;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, got);
    ::pclose(pipe);
    return output;
}

std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string PutHead(std::string_view target, std::string_view framing) {
    return "PUT " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\nx-veltocorvane: 1\r\n" +
           std::string(framing) + "\r\n\r\n";
}

class OwnMount : public WebAppFixture {
protected:
    void SetUp() override {
        if (!g_privateMounts)
            GTEST_SKIP() << "no private mount namespace: " << g_namespaceError;
        WebAppFixture::SetUp();
        ASSERT_EQ(::mount("tmpfs", Files().c_str(), "tmpfs", 0, kTmpfsOptions), 0);
        m_mounted = true;
        Config config;
        config.shares.push_back(
            MakeShare("00000000000000f1", u"m", Files(),
                      AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete));
        Apply(config);
        m_uid = std::to_string(::getuid());
    }

    void TearDown() override {
        if (m_mounted)
            ::umount2(Files().c_str(), MNT_DETACH);
        if (g_privateMounts)
            WebAppFixture::TearDown();
    }

    void MakeReadOnly() {
        ASSERT_EQ(
            ::mount(nullptr, Files().c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr),
            0);
    }

    ClientResponse Delete(std::string_view path) {
        return Post("/api/delete", R"({"share":"m","paths":[")" + std::string(path) + R"("]})");
    }

    bool m_mounted{false};
    std::string m_uid;
};

TEST_F(OwnMount, DeletedItemGoesToTheTrashOfItsOwnMount) {
    WriteFile("doc.txt", "on tmpfs");
    WriteFile("folder/inner.txt", "inner");

    const ClientResponse reply =
        Post("/api/delete", R"({"share":"m","paths":["doc.txt","folder"]})");
    ASSERT_EQ(reply.status, 200) << reply.body;
    const std::filesystem::path trash = Files() / (".Trash-" + m_uid);
    EXPECT_EQ(ReadFile(trash / "files" / "doc.txt"), "on tmpfs");
    EXPECT_EQ(ReadFile(trash / "files" / "folder" / "inner.txt"), "inner");
    // Records in a mount's own trash name the item from the mount's top.
    EXPECT_EQ(ReadFile(trash / "info" / "doc.txt.trashinfo").find("[Trash Info]\nPath=doc.txt\n"),
              0u);
    EXPECT_FALSE(std::filesystem::exists(Root() / "data" / "Trash" / "files"));
    EXPECT_EQ(::access(trash.c_str(), W_OK), 0);
    struct stat info {};
    ASSERT_EQ(::stat(trash.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    const std::string listed = RunCommand("trash-list");
    EXPECT_NE(listed.find(" " + (Files() / "doc.txt").string() + "\n"), std::string::npos)
        << listed;
    EXPECT_NE(listed.find(" " + (Files() / "folder").string() + "\n"), std::string::npos) << listed;
}

TEST_F(OwnMount, SharedStickyTrashHoldsAFolderPerUser) {
    WriteFile("doc.txt", "d");
    ASSERT_EQ(::mkdir((Files() / ".Trash").c_str(), 01777), 0);
    ASSERT_EQ(::chmod((Files() / ".Trash").c_str(), 01777), 0);
    ASSERT_EQ(Delete("doc.txt").status, 200);
    EXPECT_EQ(ReadFile(Files() / ".Trash" / m_uid / "files" / "doc.txt"), "d");
    EXPECT_FALSE(std::filesystem::exists(Files() / (".Trash-" + m_uid)));
}

TEST_F(OwnMount, NoUsableTrashLeavesTheItemWhereItWas) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
    };
    const Case cases[] = {
        {"read-only mount", [this] { MakeReadOnly(); }},
        {"shared trash not sticky, own trash a file",
         [this] {
             ASSERT_EQ(::mkdir((Files() / ".Trash").c_str(), 0777), 0);
             WriteFile(".Trash-" + m_uid, "not a folder");
         }},
        {"own trash a link to the home trash",
         [this] {
             std::filesystem::create_directories(Root() / "data" / "Trash");
             std::filesystem::create_symlink(Root() / "data" / "Trash",
                                             Files() / (".Trash-" + m_uid));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(::umount2(Files().c_str(), MNT_DETACH), 0);
        ASSERT_EQ(::mount("tmpfs", Files().c_str(), "tmpfs", 0, kTmpfsOptions), 0);
        WriteFile("keep.txt", "keep");
        WriteFile("also.txt", "also");
        c.prepare();
        const std::vector<std::string> before = NamesIn(Files());

        const ClientResponse reply =
            Post("/api/delete", R"({"share":"m","paths":["also.txt","keep.txt"]})");
        EXPECT_EQ(reply.status, 409);
        EXPECT_EQ(reply.body, R"({"error":"noRecycleBin"})");
        EXPECT_EQ(NamesIn(Files()), before);
        EXPECT_EQ(ReadFile(Files() / "keep.txt"), "keep");
        const std::vector<AccessLogEntry> log = LogEntries();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2].detail, u"/m/also.txt");
        EXPECT_EQ(log[log.size() - 2].result, 409);
        EXPECT_EQ(log.back().result, 409);
    }
}

TEST_F(OwnMount, UploadThatCannotFitIsRefused) {
    constexpr std::size_t kMiB = 1 << 20;
    // Declared: refused before a byte is read, the connection closed. 3.5 MiB
    // would fit, but not with the margin that must stay free.
    for (const char* length : {"8388608", "3670016"}) {
        SCOPED_TRACE(length);
        HttpClient declared(Port());
        ASSERT_TRUE(declared.SendRaw(
            PutHead("/files/m/big.bin", std::string("Content-Length: ") + length)));
        const std::optional<ClientResponse> early = declared.ReadResponse();
        ASSERT_TRUE(early);
        EXPECT_EQ(early->status, 507);
        EXPECT_EQ(early->body, R"({"error":"noSpace"})");
        EXPECT_TRUE(declared.PeerClosed());
    }

    // Chunked: the disk fills while writing.
    std::string request = PutHead("/files/m/big.bin", "Transfer-Encoding: chunked");
    const std::string piece(kMiB, 'c');
    for (int i = 0; i < 6; ++i)
        request += "100000\r\n" + piece + "\r\n";
    request += "0\r\n\r\n";
    HttpClient chunked(Port());
    chunked.SendRaw(request); // the server may close before taking it all
    const std::optional<ClientResponse> full = chunked.ReadResponse();
    ASSERT_TRUE(full);
    EXPECT_EQ(full->status, 507);
    EXPECT_EQ(full->body, R"({"error":"noSpace"})");

    EXPECT_TRUE(NamesIn(Files()).empty());
    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].result, 507);
    EXPECT_GE(log[0].size, 3 * kMiB);
}

} // namespace
} // namespace Velto::Corvane::Testing

int main(int argc, char** argv) {
    using namespace Velto::Corvane::Testing;
    g_privateMounts = EnterPrivateMountNamespace(g_namespaceError);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
