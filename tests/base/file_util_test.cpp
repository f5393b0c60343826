#include "base/file_util.h"

#include "base/private_file.h"
#include "base/unique_fd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace Velto {
namespace {

namespace fs = std::filesystem;

class FileUtilTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "velto-file-util-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override { fs::remove_all(m_root); }

    std::string Path(std::string_view name) const { return m_root + "/" + std::string(name); }
    void Write(std::string_view name, std::string_view bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string Read(std::string_view name) const {
        std::string out;
        EXPECT_EQ(ReadWholeFile(Path(name), out), kOk);
        return out;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_root))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string m_root;
};

TEST(ParentPathTest, Table) {
    const std::pair<std::string, std::string> cases[] = {
        {"/a/b/c", "/a/b"}, {"/a/b/c//", "/a/b"}, {"/a//b", "/a"},
        {"/a", "/"},        {"/a/", "/"},         {"/", ""},
        {"a", ""},          {"a/b", "a"},         {"", ""},
        {"//a", "/"},
    };
    for (const auto& [path, parent] : cases)
        EXPECT_EQ(ParentPath(path), parent) << path;
}

TEST_F(FileUtilTest, CreatesFoldersAndTellsWhatExists) {
    const std::string deep = Path("a/b/c/");
    EXPECT_EQ(CreateDirectories(deep, 0700), kOk);
    EXPECT_TRUE(IsDirectory(Path("a/b/c")));
    struct stat st {};
    ASSERT_EQ(::stat(Path("a/b").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(CreateDirectories(deep), kOk); // existing folder is fine
    EXPECT_EQ(CreateDirectories(""), kInvalidArg);

    Write("file", "x");
    EXPECT_EQ(CreateDirectories(Path("file")), kAlreadyExists);
    EXPECT_EQ(CreateDirectories(Path("file/sub")), kPathNotFound);
    EXPECT_FALSE(IsDirectory(Path("file")));

    ASSERT_EQ(::symlink("missing-target", Path("dangling").c_str()), 0);
    ASSERT_EQ(::symlink("a", Path("dirlink").c_str()), 0);
    struct Case {
        const char* name;
        bool exists;
        bool directory;
    };
    const Case cases[] = {{"file", true, false},     {"a", true, true},
                          {"dangling", true, false}, {"dirlink", true, true},
                          {"missing", false, false}, {"a/b/c", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FileExists(Path(c.name)), c.exists);
        EXPECT_EQ(IsDirectory(Path(c.name)), c.directory);
    }
    EXPECT_FALSE(FileExists(""));
}

TEST_F(FileUtilTest, ListsEntriesWithTheirDetails) {
    ASSERT_EQ(CreateDirectories(Path("sub")), kOk);
    Write("five", "12345");
    ASSERT_EQ(::symlink("sub", Path("link").c_str()), 0);
    const timespec times[2] = {{1600000000, 0}, {1700000000, 500}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path("five").c_str(), times, 0), 0);

    std::vector<DirectoryItem> items;
    ASSERT_EQ(ListDirectory(m_root, items), kOk);
    std::sort(items.begin(), items.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].name, "five");
    EXPECT_EQ(items[0].size, 5u);
    EXPECT_FALSE(items[0].isDirectory);
    EXPECT_EQ(items[0].lastWriteTime, FileTimeFromUnix(1700000000, 500));
    EXPECT_EQ(items[0].lastAccessTime, FileTimeFromUnix(1600000000, 0));
    EXPECT_EQ(items[1].name, "link");
    EXPECT_TRUE(items[1].isLink);
    EXPECT_TRUE(items[1].isDirectory);
    EXPECT_EQ(items[2].name, "sub");
    EXPECT_TRUE(items[2].isDirectory);
    EXPECT_FALSE(items[2].isLink);

    ASSERT_EQ(ListDirectory(Path("sub"), items), kOk);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(ListDirectory(Path("missing"), items), kPathNotFound);
    EXPECT_EQ(ListDirectory(Path("five"), items), kPathNotFound);
}

TEST_F(FileUtilTest, ReadsWholeFiles) {
    const std::string big(300000, 'q');
    Write("empty", "");
    Write("big", big);
    Write("bom", "\xEF\xBB\xBF\xEF\xBB\xBF{}");
    EXPECT_EQ(Read("empty"), "");
    EXPECT_EQ(Read("big"), big);
    std::string text;
    ASSERT_EQ(ReadTextFile(Path("bom"), text), kOk);
    EXPECT_EQ(text, "\xEF\xBB\xBF{}"); // only one mark is dropped
    ASSERT_EQ(ReadTextFile(Path("big"), text), kOk);
    EXPECT_EQ(text, big);

    // A file whose reported size is 0 but has content makes the buffer grow.
    std::string status;
    ASSERT_EQ(ReadWholeFile("/proc/self/status", status), kOk);
    EXPECT_NE(status.find("Name:"), std::string::npos);

    EXPECT_EQ(ReadWholeFile(Path("missing"), text), kFileNotFound);
    EXPECT_NE(ReadWholeFile(m_root, text), kOk);
    // A FIFO must be refused at once rather than block the reader.
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    EXPECT_TRUE(Failed(ReadWholeFile(Path("fifo"), text)));
}

TEST_F(FileUtilTest, ReplacePrivateFileSwapsContentInOneStep) {
    Write("target", "old content");
    UniqueFd held(::open(Path("target").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(held);

    ASSERT_EQ(ReplacePrivateFile(Path("target"), "new"), kOk);
    EXPECT_EQ(Read("target"), "new");
    EXPECT_EQ(Names(), std::vector<std::string>{"target"}); // no temporary file left
    char old[32] = {};
    EXPECT_EQ(::read(held.Get(), old, sizeof old), 11); // a reader keeps the old file
    EXPECT_STREQ(old, "old content");
    struct stat st {};
    ASSERT_EQ(::stat(Path("target").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // A folder in the way: the rename fails and the temporary file goes away.
    ASSERT_EQ(CreateDirectories(Path("dir")), kOk);
    EXPECT_TRUE(Failed(ReplacePrivateFile(Path("dir"), "x")));
    EXPECT_EQ(Names(), (std::vector<std::string>{"dir", "target"}));
    EXPECT_EQ(ReplacePrivateFile(Path("nowhere/file"), "x"), kFileNotFound);

    // The writer that makes its folder makes it private.
    ASSERT_TRUE(WritePrivateFileAtomically(Path("made/inner/file"), "x"));
    ASSERT_EQ(::stat(Path("made/inner").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(FileUtilTest, ReadWholeFileKeepsToItsLimit) {
    Write("ten", "0123456789");
    std::string out;
    EXPECT_EQ(ReadWholeFile(Path("ten"), out, 10), kOk);
    EXPECT_EQ(out, "0123456789");
    EXPECT_EQ(ReadWholeFile(Path("ten"), out, 9), kFileTooLarge);
    // /proc files report size 0; the limit still holds while reading.
    EXPECT_EQ(ReadWholeFile("/proc/self/maps", out, 8), kFileTooLarge);
}

TEST_F(FileUtilTest, WriteAllWritesEverything) {
    UniqueFd fd(::open(Path("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(fd);
    const std::string bytes(1 << 20, 'z');
    EXPECT_EQ(WriteAll(fd.Get(), bytes), kOk);
    EXPECT_EQ(WriteAll(fd.Get(), std::string_view()), kOk);
    EXPECT_EQ(Read("out"), bytes);
    EXPECT_TRUE(Failed(WriteAll(-1, std::string_view("x"))));
}

} // namespace
} // namespace Velto
