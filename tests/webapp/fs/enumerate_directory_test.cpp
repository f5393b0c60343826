#include "tests/webapp/fs/temp_tree.h"
#include "webapp/fs/getdents_enumerator.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/open_item.h"

#include "base/utf.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace Velto::Corvane {
namespace {

using Testing::TempTree;
using Testing::U16;

class EnumerateDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.MakeDir("share");
        const std::optional<ShareRoot> resolved = ResolveShareRoot(U16(tree.Path("share")), false);
        ASSERT_TRUE(resolved);
        root = *resolved;
    }

    std::map<std::u16string, DirEntry> List(const PathComponents& components = {}) {
        UniqueFd folder;
        ItemStat stat;
        EXPECT_EQ(OpenItem(root, components, ItemAccess::ListDirectory, false, folder, stat),
                  OpenResult::Ok);
        std::vector<DirEntry> entries;
        EXPECT_TRUE(EnumerateDirectory(folder.Get(), entries));
        std::map<std::u16string, DirEntry> byName;
        for (DirEntry& entry : entries) {
            const std::u16string name = entry.name;
            EXPECT_TRUE(byName.emplace(name, std::move(entry)).second) << Utf16ToUtf8(name);
        }
        return byName;
    }

    TempTree tree;
    ShareRoot root;
};

TEST_F(EnumerateDirectoryTest, DescribesEachAddressableEntry) {
    tree.MakeFile("share/file.txt", "12345");
    tree.MakeDir("share/folder");
    tree.MakeFile("share/.dotfile", "1");
    tree.MakeFile("share/.vcsupload-0123456789abcdef", "partial");
    tree.MakeLink("folder", "share/link-to-folder");
    tree.MakeLink("file.txt", "share/link-to-file");
    tree.MakeLink("nowhere", "share/dangling");
    tree.MakeLink(tree.Path("."), "share/link-out");
    tree.MakeFifo("share/fifo");
    tree.MakeLink("fifo", "share/link-to-fifo");
    for (const char* unaddressable : {"\xff", "bad\xc3", "tab\there", "del\x7f"})
        tree.MakeFile(std::string("share/") + unaddressable, "x");
    // Names other systems refuse are ordinary here.
    for (const char* ordinary : {"a:b", "back\\slash", "nul.txt", "dot."})
        tree.MakeFile(std::string("share/") + ordinary, "xy");
    const timespec times[2] = {{0, UTIME_OMIT}, {1600000000, 500}};
    ASSERT_EQ(::utimensat(AT_FDCWD, tree.Path("share/file.txt").c_str(), times, 0), 0);
    const FileTime fileTime = (1600000000ull + 11644473600ull) * 10000000ull + 5ull;

    const std::map<std::u16string, DirEntry> entries = List();

    const struct {
        std::u16string name;
        std::uint32_t attributes;
        std::uint64_t size;
        std::uint32_t reparseTag;
    } expected[] = {
        {u"file.txt", FILE_ATTRIBUTE_NORMAL, 5, 0},
        {u"folder", FILE_ATTRIBUTE_DIRECTORY, 0, 0},
        {u".dotfile", FILE_ATTRIBUTE_HIDDEN, 1, 0},
        {u".vcsupload-0123456789abcdef", FILE_ATTRIBUTE_HIDDEN, 7, 0},
        {u"link-to-folder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 0,
         IO_REPARSE_TAG_SYMLINK},
        {u"link-to-file", FILE_ATTRIBUTE_REPARSE_POINT, 5, IO_REPARSE_TAG_SYMLINK},
        {u"dangling", FILE_ATTRIBUTE_REPARSE_POINT, 0, IO_REPARSE_TAG_SYMLINK},
        {u"link-out", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 0,
         IO_REPARSE_TAG_SYMLINK},
        {u"link-to-fifo", FILE_ATTRIBUTE_REPARSE_POINT, 0, IO_REPARSE_TAG_SYMLINK},
        {u"a:b", FILE_ATTRIBUTE_NORMAL, 2, 0},
        {u"back\\slash", FILE_ATTRIBUTE_NORMAL, 2, 0},
        {u"nul.txt", FILE_ATTRIBUTE_NORMAL, 2, 0},
        {u"dot.", FILE_ATTRIBUTE_NORMAL, 2, 0},
    };
    ASSERT_EQ(entries.size(), std::size(expected));
    for (const auto& e : expected) {
        SCOPED_TRACE(Utf16ToUtf8(e.name));
        const auto found = entries.find(e.name);
        ASSERT_NE(found, entries.end());
        EXPECT_EQ(found->second.attributes, e.attributes);
        EXPECT_EQ(found->second.size, e.size);
        EXPECT_EQ(found->second.reparseTag, e.reparseTag);
        EXPECT_EQ(IsLink(found->second.reparseTag), e.reparseTag != 0);
    }
    EXPECT_EQ(entries.at(u"file.txt").lastWriteTime, fileTime);
    EXPECT_EQ(entries.at(u"link-to-file").lastWriteTime, fileTime);

    // The listing opens link entries before showing them: only those that stay
    // inside and lead to a file or folder survive.
    std::vector<std::u16string> shownLinks;
    for (const auto& [name, entry] : entries) {
        if (!IsLink(entry.reparseTag))
            continue;
        UniqueFd handle;
        ItemStat stat;
        if (OpenItem(root, PathComponents{name}, ItemAccess::ReadAttributes, false, handle, stat) ==
            OpenResult::Ok)
            shownLinks.push_back(name);
    }
    EXPECT_EQ(shownLinks, (std::vector<std::u16string>{u"link-to-file", u"link-to-folder"}));
}

TEST_F(EnumerateDirectoryTest, ReadsLargeFoldersCompletelyAndRestartsFromTheStart) {
    // Long names make the records span many 64 KiB reads.
    constexpr int kEntries = 1200;
    const std::string padding(240, 'p');
    for (int i = 0; i < kEntries; ++i)
        tree.MakeFile("share/" + padding + std::to_string(i), "");

    UniqueFd folder;
    ItemStat stat;
    ASSERT_EQ(OpenItem(root, {}, ItemAccess::ListDirectory, false, folder, stat), OpenResult::Ok);
    std::vector<DirEntry> first;
    ASSERT_TRUE(EnumerateDirectory(folder.Get(), first));
    std::vector<DirEntry> second;
    ASSERT_TRUE(EnumerateDirectory(folder.Get(), second));
    ASSERT_EQ(first.size(), std::size_t{kEntries});
    ASSERT_EQ(second.size(), first.size());

    std::vector<std::u16string> names;
    for (const DirEntry& entry : first)
        names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
}

TEST_F(EnumerateDirectoryTest, FailsOnADescriptorThatCannotBeListed) {
    tree.MakeFile("share/file.txt", "x");
    UniqueFd handle;
    ItemStat stat;
    std::vector<DirEntry> entries{DirEntry{}};
    ASSERT_EQ(OpenItem(root, PathComponents{u"file.txt"}, ItemAccess::Read, false, handle, stat),
              OpenResult::Ok);
    EXPECT_FALSE(EnumerateDirectory(handle.Get(), entries));
    EXPECT_TRUE(entries.empty());

    // An attribute-only handle cannot be read either.
    ASSERT_EQ(OpenItem(root, {}, ItemAccess::ReadAttributes, false, handle, stat), OpenResult::Ok);
    EXPECT_FALSE(EnumerateDirectory(handle.Get(), entries));
}

} // namespace
} // namespace Velto::Corvane

namespace Velto::Corvane {
namespace {

TEST_F(EnumerateDirectoryTest, AWantedFilterKeepsFoldersAndLinksForTheCallerToJudge) {
    tree.MakeFile("share/keep.txt", "1");
    tree.MakeFile("share/skip.txt", "1");
    tree.MakeDir("share/folder");
    tree.MakeLink("skip.txt", "share/link");
    tree.MakeFile("share/\xff", "x");
    UniqueFd folder;
    ItemStat stat;
    ASSERT_EQ(OpenItem(root, {}, ItemAccess::ListDirectory, false, folder, stat), OpenResult::Ok);

    std::map<std::u16string, bool> asked;
    std::vector<DirEntry> entries;
    ASSERT_TRUE(
        EnumerateDirectory(folder.Get(), entries, [&](std::u16string_view name, bool mayBeFolder) {
            asked[std::u16string(name)] = mayBeFolder;
            return mayBeFolder || name == u"keep.txt";
        }));
    // Only addressable names are asked about; a file reads as no folder (on
    // file systems that report entry types).
    EXPECT_EQ(asked.size(), 4u);
    EXPECT_TRUE(asked.at(u"folder"));
    EXPECT_TRUE(asked.at(u"link"));
    std::vector<std::u16string> kept;
    for (const DirEntry& entry : entries)
        kept.push_back(entry.name);
    std::sort(kept.begin(), kept.end());
    if (!asked.at(u"skip.txt")) {
        EXPECT_EQ(kept, (std::vector<std::u16string>{u"folder", u"keep.txt", u"link"}));
    }
    // Every kept entry is described as the plain enumeration describes it.
    const std::map<std::u16string, DirEntry> all = List();
    for (const DirEntry& entry : entries) {
        EXPECT_EQ(entry.attributes, all.at(entry.name).attributes);
        EXPECT_EQ(entry.size, all.at(entry.name).size);
    }
}

} // namespace
} // namespace Velto::Corvane
