// Real WebDAV clients against a writable share on the real server: the
// litmus suites, rclone's webdav backend, a scripted cadaver, and a davfs2
// mount where the machine allows FUSE mounts.
#include "tests/webapp/web_app_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace Velto::Corvane::Testing {
namespace {

struct CommandResult {
    int status{-1};
    std::string output;
};

// Runs a shell command line with the test's environment, collecting standard
// output and error.
CommandResult Shell(const std::string& command) {
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

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::int64_t ModifiedSeconds(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return -1;
    return info.st_mtim.tv_sec;
}

class DavClients : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        m_share = Files() / "share";
        std::filesystem::create_directories(m_share);
        Config config;
        config.upnp = false;
        config.shares = {MakeShare("00000000000000d1", u"share", m_share,
                                   AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete)};
        Apply(config);
    }

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(Port()) + "/dav/share/"; }

    // rclone's webdav remote "dav:" from the environment, never a file.
    std::string Rclone(const std::string& arguments) const {
        return "RCLONE_CONFIG=/dev/null RCLONE_CONFIG_DAV_TYPE=webdav RCLONE_CONFIG_DAV_URL=" +
               Url() + " RCLONE_CONFIG_DAV_VENDOR=owncloud rclone " + arguments;
    }

    std::filesystem::path m_share;
};

TEST_F(DavClients, LitmusSuitesPass) {
    const std::filesystem::path work = Root() / "litmus";
    std::filesystem::create_directories(work);
    const CommandResult result = Shell(
        "cd " + Quoted(work) + " && TESTS='basic copymove props locks http' litmus -k " + Url());
    EXPECT_EQ(result.status, 0) << result.output;
    for (const char* suite : {"basic", "copymove", "props", "locks", "http"}) {
        EXPECT_NE(result.output.find(std::string("summary for `") + suite + "'"), std::string::npos)
            << suite;
    }
    EXPECT_EQ(result.output.find("FAIL"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("WARNING"), std::string::npos) << result.output;
}

TEST_F(DavClients, RcloneCopiesATreeBothWaysWithItsTimes) {
    const std::filesystem::path source = Root() / "source";
    std::filesystem::create_directories(source / "사진" / "여름 휴가");
    std::ofstream(source / "메모.txt") << "안녕하세요";
    std::ofstream(source / "사진" / "여름 휴가" / "바다.bin") << std::string(300'000, '\x5a');
    std::ofstream(source / "사진" / "빈 파일");
    const std::string stamp = "touch -d '2021-03-04 05:06:07 UTC' ";
    ASSERT_EQ(Shell(stamp + Quoted(source / "메모.txt")).status, 0);
    ASSERT_EQ(Shell(stamp + Quoted(source / "사진" / "여름 휴가" / "바다.bin")).status, 0);

    CommandResult copy = Shell(Rclone("copy " + Quoted(source) + " dav:tree"));
    ASSERT_EQ(copy.status, 0) << copy.output;
    const CommandResult listed = Shell(Rclone("lsf -R dav:tree"));
    EXPECT_EQ(listed.status, 0) << listed.output;
    EXPECT_EQ(listed.output,
              "메모.txt\n사진/\n사진/빈 파일\n사진/여름 휴가/\n사진/여름 휴가/바다.bin\n");
    EXPECT_EQ(ReadFile(m_share / "tree" / "메모.txt"), "안녕하세요");
    EXPECT_EQ(ModifiedSeconds(m_share / "tree" / "메모.txt"), ModifiedSeconds(source / "메모.txt"));
    const CommandResult check = Shell(Rclone("check " + Quoted(source) + " dav:tree"));
    EXPECT_EQ(check.status, 0) << check.output;

    const std::filesystem::path back = Root() / "back";
    copy = Shell(Rclone("copy dav:tree " + Quoted(back)));
    ASSERT_EQ(copy.status, 0) << copy.output;
    EXPECT_EQ(Shell("diff -r " + Quoted(source) + " " + Quoted(back)).status, 0);
    EXPECT_EQ(ModifiedSeconds(back / "사진" / "여름 휴가" / "바다.bin"),
              ModifiedSeconds(source / "사진" / "여름 휴가" / "바다.bin"));

    const CommandResult removed = Shell(Rclone("delete dav:tree/사진"));
    EXPECT_EQ(removed.status, 0) << removed.output;
    EXPECT_EQ(Shell(Rclone("lsf -R dav:tree")).output, "메모.txt\n사진/\n사진/여름 휴가/\n");
    EXPECT_TRUE(std::filesystem::exists(Root() / "data" / "Trash" / "files" / "바다.bin"));
}

TEST_F(DavClients, CadaverScript) {
    const std::filesystem::path work = Root() / "cadaver";
    std::filesystem::create_directories(work);
    std::ofstream(work / "up.txt") << "from cadaver";
    const std::string script = "mkcol 폴더\n"
                               "put up.txt 폴더/up.txt\n"
                               "copy 폴더/up.txt 폴더/copy.txt\n"
                               "move 폴더/copy.txt 폴더/moved.txt\n"
                               "propset 폴더/up.txt color blue\n"
                               "propget 폴더/up.txt color\n"
                               "lock 폴더/up.txt\n"
                               "unlock 폴더/up.txt\n"
                               "get 폴더/moved.txt got.txt\n"
                               "delete 폴더/up.txt\n"
                               "ls 폴더\n"
                               "quit\n";
    std::ofstream(work / "script") << script;
    const CommandResult result = Shell("cd " + Quoted(work) + " && cadaver " + Url() + " < script");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.find("failed"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Value of color is: blue"), std::string::npos) << result.output;
    EXPECT_EQ(ReadFile(work / "got.txt"), "from cadaver");
    EXPECT_EQ(ReadFile(m_share / "폴더" / "moved.txt"), "from cadaver");
    EXPECT_FALSE(std::filesystem::exists(m_share / "폴더" / "up.txt"));
    EXPECT_FALSE(std::filesystem::exists(m_share / "폴더" / "copy.txt"));
}

TEST_F(DavClients, Davfs2MountCopiesMovesAndRemoves) {
    if (::geteuid() != 0 || !std::filesystem::exists("/dev/fuse") ||
        Shell("command -v mount.davfs").status != 0)
        GTEST_SKIP() << "mounting needs root, /dev/fuse and davfs2";
    // davfs2 runs as its own user, so its cache lies in a folder it can reach.
    char pattern[] = "/tmp/vc-davfs-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path place = pattern;
    std::filesystem::create_directories(place / "cache");
    std::filesystem::create_directories(place / "mnt");
    ::chmod(place.c_str(), 0755);
    ::chmod((place / "cache").c_str(), 0777);
    // Kernels from 6.16 list nothing through davfs2's small default buffer.
    std::ofstream(place / "davfs2.conf")
        << "cache_dir " << (place / "cache").string() << "\nbuf_size 64\nuse_locks 1\n";
    std::ofstream(Root() / "local.txt") << "through the mount";
    const std::string mnt = Quoted(place / "mnt");
    // A private mount namespace: the mount ends with the command. The
    // credentials prompt gets a name nobody has; guests need none.
    const std::string inner =
        "printf 'guest\\nnone\\n' | mount.davfs -o conf=" + (place / "davfs2.conf").string() + " " +
        Url() + " " + mnt +
        " >/dev/null 2>&1 || exit 90; "
        "mkdir " +
        mnt + "/목록 && cp " + Quoted(Root() / "local.txt") + " " + mnt + "/목록/a.txt && mv " +
        mnt + "/목록/a.txt " + mnt + "/목록/b.txt && cp " + mnt + "/목록/b.txt " + mnt +
        "/c.txt && rm " + mnt + "/c.txt && ls " + mnt +
        "/목록; "
        "status=$?; umount " +
        mnt + "; exit $status";
    const CommandResult result = Shell("unshare -m sh -c \"" + inner + "\"");
    std::filesystem::remove_all(place);
    if (result.status != 0 && WEXITSTATUS(result.status) == 90)
        GTEST_SKIP() << "davfs2 could not mount here: " << result.output;
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("b.txt"), std::string::npos) << result.output;
    EXPECT_EQ(ReadFile(m_share / "목록" / "b.txt"), "through the mount");
    EXPECT_FALSE(std::filesystem::exists(m_share / "목록" / "a.txt"));
    EXPECT_FALSE(std::filesystem::exists(m_share / "c.txt"));
}

} // namespace
} // namespace Velto::Corvane::Testing
