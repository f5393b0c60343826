#include "tests/webapp/fs/temp_tree.h"
#include "webapp/fs/share_root.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace Velto::Corvane {
namespace {

using Testing::TempTree;
using Testing::U16;

class ShareRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.MakeDir("share");
        tree.MakeDir("share/sub");
        tree.MakeFile("share/Report.txt", "abc");
        tree.MakeLink(tree.Path("share"), "link-to-share");
        tree.MakeLink("share/Report.txt", "link-to-file");
    }
    TempTree tree;
};

TEST_F(ShareRootTest, FolderSharesResolveToTheirFinalPath) {
    const struct {
        std::string configured;
        std::string expectedDir;
    } cases[] = {
        {tree.Path("share"), tree.Path("share")},
        {tree.Path("share") + "/", tree.Path("share")},
        {tree.Path("link-to-share"), tree.Path("share")},         // pinned to where the link leads
        {tree.Path("link-to-share/sub"), tree.Path("share/sub")}, // a link on the way
        {tree.Path("share") + "//sub", tree.Path("share/sub")},
        {"/", "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.configured);
        const std::optional<ShareRoot> root = ResolveShareRoot(U16(c.configured), false);
        ASSERT_TRUE(root);
        EXPECT_EQ(root->dir, U16(c.expectedDir));
        EXPECT_TRUE(root->fileName.empty());
    }
}

TEST_F(ShareRootTest, FileSharesSplitIntoFolderAndName) {
    for (const std::string& configured : {tree.Path("share/Report.txt"), tree.Path("link-to-file"),
                                          tree.Path("link-to-share/Report.txt")}) {
        SCOPED_TRACE(configured);
        const std::optional<ShareRoot> root = ResolveShareRoot(U16(configured), true);
        ASSERT_TRUE(root);
        EXPECT_EQ(root->dir, U16(tree.Path("share")));
        EXPECT_EQ(root->fileName, u"Report.txt");
    }
}

TEST_F(ShareRootTest, RefusesWhatIsNotAShareOfThatKind) {
    const struct {
        std::string configured;
        bool isFile;
    } cases[] = {
        {"", false},
        {"", true},
        {tree.Path("share/Report.txt"), false}, // a folder share naming a file
        {tree.Path("share"), true},             // a file share naming a folder
        {tree.Path("missing"), false},
        {tree.Path("missing"), true},
        {tree.Path("share/Report.txt/x"), false},
        // Only a full path names a share: dotted components and relative
        // paths would depend on where the process runs.
        {tree.Path("share/sub/.."), false},
        {tree.Path("share/./sub"), false},
        {tree.Path("share/sub/../Report.txt"), true},
        {tree.Path("share") + "/.", false},
        {"share", false},
        {"./share", false},
        {"share/Report.txt", true},
        {"../" + tree.Path("share").substr(1), false},
    };
    // The relative forms would resolve if they were taken from here.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(tree.Path(""));
    for (const auto& c : cases)
        EXPECT_FALSE(ResolveShareRoot(U16(c.configured), c.isFile)) << c.configured << c.isFile;
    std::filesystem::current_path(before);

    // A configured text that cannot be a path (an unpaired surrogate).
    EXPECT_FALSE(ResolveShareRoot(U16(tree.Path("share")) + u"\xD800", false));
}

TEST_F(ShareRootTest, RefusesAFinalPathThatIsNotUtf8) {
    tree.MakeDir("\xff");
    tree.MakeLink("\xff", "to-bad-name");
    EXPECT_FALSE(ResolveShareRoot(U16(tree.Path("to-bad-name")), false));
}

} // namespace
} // namespace Velto::Corvane

namespace Velto::Corvane {
namespace {

TEST_F(ShareRootTest, InsideRootJudgesOpenDescriptorsByTheirFinalPath) {
    tree.MakeDir("share2");
    tree.MakeFile("share2/x", "x");
    tree.MakeFile("share/sub/other.txt", "o");
    const std::optional<ShareRoot> folder = ResolveShareRoot(U16(tree.Path("share")), false);
    const std::optional<ShareRoot> single =
        ResolveShareRoot(U16(tree.Path("share/Report.txt")), true);
    ASSERT_TRUE(folder && single);

    const struct {
        std::string path;
        bool insideFolder;
        bool insideSingle;
    } cases[] = {
        {tree.Path("share"), true, false},
        {tree.Path("share/Report.txt"), true, true},
        {tree.Path("link-to-file"), true, true}, // judged by where it leads
        {tree.Path("share/sub/other.txt"), true, false},
        {tree.Path("share2/x"), false, false},
        {tree.Path(""), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const UniqueFd fd(::open(c.path.c_str(), O_PATH | O_CLOEXEC));
        ASSERT_TRUE(fd.IsValid());
        EXPECT_EQ(IsInsideRoot(*folder, fd.Get()), c.insideFolder);
        EXPECT_EQ(IsInsideRoot(*single, fd.Get()), c.insideSingle);
    }
}

} // namespace
} // namespace Velto::Corvane
