#include "tests/webapp/fs/temp_tree.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/open_item.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace Velto::Corvane {
namespace {

using Testing::TempTree;
using Testing::U16;

// Splits without validating, so "." and ".." reach OpenItem as they are.
PathComponents Split(std::string_view text) {
    PathComponents components;
    while (!text.empty()) {
        const std::size_t slash = text.find('/');
        components.push_back(U16(text.substr(0, slash)));
        if (slash == std::string_view::npos)
            break;
        text.remove_prefix(slash + 1);
    }
    return components;
}

std::string ReadAll(int fd) {
    std::string content;
    char buffer[256];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, static_cast<std::size_t>(got));
    return content;
}

constexpr ItemAccess kAllAccesses[] = {ItemAccess::ReadAttributes, ItemAccess::Read,
                                       ItemAccess::ListDirectory};

const char* AccessName(ItemAccess access) {
    switch (access) {
    case ItemAccess::ReadAttributes:
        return "attributes";
    case ItemAccess::Read:
        return "read";
    case ItemAccess::ListDirectory:
        return "list";
    }
    return "?";
}

struct ConfinementCase {
    std::string path;
    bool allowHidden;
    OpenResult expected;
    bool isDirectory = false;
    std::string content = {}; // what reading the opened file gives
    // Without openat2 the kernel cannot be told to refuse /proc magic links;
    // the final-path check then decides alone.
    std::optional<OpenResult> withoutOpenat2 = std::nullopt;
};

std::vector<ConfinementCase> ConfinementCases() {
    const std::string longName(255, 'n');
    const std::string tooLongName(256, 'n');
    return {
        {"", false, OpenResult::Ok, true, ""},
        {"a.txt", false, OpenResult::Ok, false, "hello"},
        {"sub", false, OpenResult::Ok, true, ""},
        {"sub/b.txt", false, OpenResult::Ok, false, "bee"},
        {longName, false, OpenResult::Ok, false, "long"},
        // Names other systems refuse are ordinary here.
        {"a\\b", false, OpenResult::Ok, false, "backslash"},
        {"con", false, OpenResult::Ok, false, "device name"},
        {"missing", false, OpenResult::NotFound},
        {"a.txt/x", false, OpenResult::NotFound},
        // Components that are not names.
        {"..", false, OpenResult::NotFound},
        {"sub/..", false, OpenResult::NotFound},
        {"../outside/x.txt", false, OpenResult::NotFound},
        {".", false, OpenResult::NotFound},
        {"sub/./b.txt", false, OpenResult::NotFound},
        {"sub//b.txt", false, OpenResult::NotFound},
        {tooLongName, false, OpenResult::NotFound},
        // Hidden items and everything below a hidden folder.
        {".hidden", false, OpenResult::NotFound},
        {".hidden/secret.txt", false, OpenResult::NotFound},
        {".hidden_file", false, OpenResult::NotFound},
        {".hidden/secret.txt", true, OpenResult::Ok, false, "secret"},
        {".hidden_file", true, OpenResult::Ok, false, "hidden"},
        // Upload temporary names, at any depth, even with hidden items shown.
        {".vcsupload-0123456789abcdef", true, OpenResult::NotFound},
        {".VCSUPLOAD-x", true, OpenResult::NotFound},
        {"visible/.vcsupload-dir/f.txt", true, OpenResult::NotFound},
        // Links that stay inside.
        {"in_rel", false, OpenResult::Ok, true, ""},
        {"in_rel/b.txt", false, OpenResult::Ok, false, "bee"},
        {"in_rel_climb", false, OpenResult::Ok, false, "hello"},
        {"in_abs/b.txt", false, OpenResult::Ok, false, "bee"},
        {"in_abs_file", false, OpenResult::Ok, false, "hello"},
        {"climb_back", false, OpenResult::Ok, false, "hello"},
        {"chain1", false, OpenResult::Ok, false, "bee"},
        {"chain_abs1", false, OpenResult::Ok, false, "hello"},
        // Links that lead out, by a relative or an absolute target.
        {"out_rel", false, OpenResult::Outside},
        {"out_rel/x.txt", false, OpenResult::Outside},
        {"out_abs", false, OpenResult::Outside},
        {"out_abs/x.txt", false, OpenResult::Outside},
        {"out_prefix/y.txt", false, OpenResult::Outside},
        {"out_prefix_abs/y.txt", false, OpenResult::Outside},
        {"chain_out1", false, OpenResult::Outside},
        // Links to places the web application may not name.
        {"to_hidden", false, OpenResult::NotFound},
        {"to_hidden/secret.txt", false, OpenResult::NotFound},
        {"to_hidden/secret.txt", true, OpenResult::Ok, false, "secret"},
        {"to_temp", true, OpenResult::NotFound},
        {"to_bad", false, OpenResult::NotFound},
        {"bad_dir_link/f.txt", false, OpenResult::NotFound},
        {"proc_link", false, OpenResult::NotFound, false, "hello", OpenResult::Ok},
        {"proc_link_out", false, OpenResult::NotFound, false, "", OpenResult::Outside},
        {"loop1", false, OpenResult::NotFound},
        {"dangling", false, OpenResult::NotFound},
        // Neither files nor folders; opening them must not block.
        {"fifo", false, OpenResult::NotFound},
        {"to_fifo", false, OpenResult::NotFound},
    };
}

// Runs every case with every access; returns a line per mismatch (plain text,
// so a child process can report it too).
std::string ConfinementMismatches(const ShareRoot& root, bool withOpenat2) {
    std::string mismatches;
    for (ConfinementCase c : ConfinementCases()) {
        if (!withOpenat2 && c.withoutOpenat2)
            c.expected = *c.withoutOpenat2;
        for (const ItemAccess access : kAllAccesses) {
            const std::string label =
                c.path + " (" + AccessName(access) + (c.allowHidden ? ", hidden" : "") + "): ";
            UniqueFd handle;
            ItemStat stat;
            const OpenResult result =
                OpenItem(root, Split(c.path), access, c.allowHidden, handle, stat);
            if (result != c.expected) {
                mismatches += label + "result " + std::to_string(static_cast<int>(result)) +
                              ", expected " + std::to_string(static_cast<int>(c.expected)) + "\n";
                continue;
            }
            if (handle.IsValid() != (result == OpenResult::Ok)) {
                mismatches += label + "handle slot wrong\n";
                continue;
            }
            if (result != OpenResult::Ok)
                continue;
            if (stat.IsDirectory() != c.isDirectory)
                mismatches += label + "folder bit wrong\n";
            if (access == ItemAccess::Read && !c.isDirectory) {
                const std::string content = ReadAll(handle.Get());
                if (content != c.content)
                    mismatches += label + "read \"" + content + "\"\n";
            }
        }
    }
    return mismatches;
}

class OpenItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string share = tree.Path("share");
        tree.MakeDir("outside");
        tree.MakeFile("outside/x.txt", "outside");
        tree.MakeDir("share2");
        tree.MakeFile("share2/y.txt", "share2");
        tree.MakeDir("share");
        tree.MakeFile("share/a.txt", "hello");
        tree.MakeDir("share/sub");
        tree.MakeFile("share/sub/b.txt", "bee");
        tree.MakeDir("share/.hidden");
        tree.MakeFile("share/.hidden/secret.txt", "secret");
        tree.MakeFile("share/.hidden_file", "hidden");
        tree.MakeFile("share/.vcsupload-0123456789abcdef", "partial");
        tree.MakeFile("share/.VCSUPLOAD-x", "partial");
        tree.MakeDir("share/visible");
        tree.MakeDir("share/visible/.vcsupload-dir");
        tree.MakeFile("share/visible/.vcsupload-dir/f.txt", "f");
        tree.MakeLink("sub", "share/in_rel");
        tree.MakeLink("sub/../a.txt", "share/in_rel_climb");
        tree.MakeLink(share + "/sub", "share/in_abs");
        tree.MakeLink(share + "/a.txt", "share/in_abs_file");
        tree.MakeLink("../share/a.txt", "share/climb_back");
        tree.MakeLink("../outside", "share/out_rel");
        tree.MakeLink(tree.Path("outside"), "share/out_abs");
        tree.MakeLink("../share2", "share/out_prefix");
        tree.MakeLink(tree.Path("share2"), "share/out_prefix_abs");
        tree.MakeLink(".hidden", "share/to_hidden");
        tree.MakeLink(".vcsupload-0123456789abcdef", "share/to_temp");
        tree.MakeLink("chain2", "share/chain1");
        tree.MakeLink("sub/b.txt", "share/chain2");
        tree.MakeLink("chain_abs2", "share/chain_abs1");
        tree.MakeLink(share + "/a.txt", "share/chain_abs2");
        tree.MakeLink("chain_out2", "share/chain_out1");
        tree.MakeLink(tree.Path("outside/x.txt"), "share/chain_out2");
        tree.MakeLink("loop2", "share/loop1");
        tree.MakeLink("loop1", "share/loop2");
        tree.MakeLink("nowhere", "share/dangling");
        tree.MakeLink("/proc/self/root" + share + "/a.txt", "share/proc_link");
        tree.MakeLink("/proc/self/root" + tree.Path("outside/x.txt"), "share/proc_link_out");
        tree.MakeFifo("share/fifo");
        tree.MakeLink("fifo", "share/to_fifo");
        tree.MakeFile("share/\xff", "bad name");
        tree.MakeLink("\xff", "share/to_bad");
        tree.MakeDir("share/\xff"
                     "d");
        tree.MakeFile("share/\xff"
                      "d/f.txt",
                      "f");
        tree.MakeLink("\xff"
                      "d",
                      "share/bad_dir_link");
        tree.MakeFile("share/a\\b", "backslash");
        tree.MakeFile("share/con", "device name");
        tree.MakeFile("share/" + std::string(255, 'n'), "long");

        const std::optional<ShareRoot> resolved = ResolveShareRoot(U16(share), false);
        ASSERT_TRUE(resolved);
        root = *resolved;
    }

    TempTree tree;
    ShareRoot root;
};

TEST_F(OpenItemTest, ConfinesEveryPathToTheShare) {
    EXPECT_EQ(ConfinementMismatches(root, true), "");
}

// Makes openat2 fail with ENOSYS in this process, as on kernels before 5.6.
bool HideOpenat2() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

TEST_F(OpenItemTest, SameConfinementWithoutOpenat2) {
    int report[2];
    ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        std::string text;
        if (!HideOpenat2())
            text = "cannot install the filter\n";
        else if (::syscall(SYS_openat2, AT_FDCWD, ".", nullptr, 0) != -1 || errno != ENOSYS)
            text = "openat2 still answers\n";
        else
            text = ConfinementMismatches(root, false);
        const ssize_t written = ::write(report[1], text.data(), text.size());
        ::_exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    ::close(report[1]);
    std::string text;
    char buffer[512];
    ssize_t got;
    while ((got = ::read(report[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    ::close(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(text, "");
}

TEST_F(OpenItemTest, AllowsAtMost128Components) {
    std::string path = "sub";
    for (int depth = 1; depth < 129; ++depth) {
        path += "/d";
        tree.MakeDir("share/" + path);
    }
    PathComponents components = Split(path); // 129 components
    ASSERT_EQ(components.size(), kMaxPathComponents + 1);

    UniqueFd handle;
    ItemStat stat;
    EXPECT_EQ(OpenItem(root, components, ItemAccess::ReadAttributes, false, handle, stat),
              OpenResult::NotFound);
    components.pop_back();
    EXPECT_EQ(OpenItem(root, components, ItemAccess::ReadAttributes, false, handle, stat),
              OpenResult::Ok);
    EXPECT_TRUE(stat.IsDirectory());
}

TEST_F(OpenItemTest, LinkedPathLongerThanPathMaxIsRefused) {
    // Sixteen folders of 255-byte names: the deepest file's full path is longer
    // than PATH_MAX, while the path handed in through a link is not.
    constexpr int kLevels = 16;
    const std::string name(255, 'd');
    std::vector<UniqueFd> levels;
    levels.emplace_back(::open(tree.Path("share").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (int i = 0; i < kLevels; ++i) {
        ASSERT_EQ(::mkdirat(levels.back().Get(), name.c_str(), 0755), 0);
        levels.emplace_back(
            ::openat(levels.back().Get(), name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(levels.back().IsValid());
    }
    const UniqueFd file(::openat(levels.back().Get(), "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_TRUE(file.IsValid());

    std::string halfway = tree.Path("share");
    for (int i = 0; i < kLevels / 2; ++i)
        halfway += "/" + name;
    tree.MakeLink(halfway, "share/halfway");

    PathComponents shallow{u"halfway", U16(name)};
    PathComponents deep{u"halfway"};
    for (int i = 0; i < kLevels / 2; ++i)
        deep.push_back(U16(name));
    deep.push_back(u"f");

    UniqueFd handle;
    ItemStat stat;
    EXPECT_EQ(OpenItem(root, shallow, ItemAccess::ReadAttributes, false, handle, stat),
              OpenResult::Ok);
    EXPECT_EQ(OpenItem(root, deep, ItemAccess::ReadAttributes, false, handle, stat),
              OpenResult::Outside);

    // Take the chain down from the bottom; its full paths are too long for
    // removal by path.
    ASSERT_EQ(::unlinkat(levels.back().Get(), "f", 0), 0);
    for (int i = kLevels; i > 0; --i)
        ASSERT_EQ(::unlinkat(levels[i - 1].Get(), name.c_str(), AT_REMOVEDIR), 0);
}

TEST_F(OpenItemTest, LinkSwappedDuringOpensNeverLeaksOutside) {
    // One thread keeps pointing a link inside and outside the share while this
    // one opens through it: whatever the interleaving, an open that succeeds
    // must have reached the file inside.
    constexpr int kOpens = 2000;
    tree.MakeFile("outside/b.txt", "OUTSIDE");
    tree.MakeLink("sub", "share/flip");
    std::atomic<bool> stop{false};
    std::thread flipper([&] {
        const std::string link = tree.Path("share/flip");
        const std::string spare = tree.Path("share/flip.next");
        const std::string targets[] = {tree.Path("outside"), "sub", "../outside",
                                       tree.Path("share/sub")};
        for (std::size_t i = 0; !stop.load(); ++i) {
            ::unlink(spare.c_str());
            if (::symlink(targets[i % std::size(targets)].c_str(), spare.c_str()) == 0)
                ::rename(spare.c_str(), link.c_str());
        }
    });

    int reachedInside = 0;
    for (int i = 0; i < kOpens; ++i) {
        UniqueFd handle;
        ItemStat stat;
        const OpenResult result =
            OpenItem(root, Split("flip/b.txt"), ItemAccess::Read, false, handle, stat);
        if (result != OpenResult::Ok) {
            EXPECT_EQ(result, OpenResult::Outside);
            continue;
        }
        const std::string content = ReadAll(handle.Get());
        EXPECT_EQ(content, "bee");
        reachedInside += content == "bee";
    }
    stop = true;
    flipper.join();
    EXPECT_GT(reachedInside, 0);
}

TEST_F(OpenItemTest, FifoSwappedWithAFileDuringReadsNeverBlocksOrPasses) {
    // One thread keeps swapping a FIFO and a file under one name while this
    // one opens it for reading: every open either reads the file or finds
    // nothing, and none waits for a writer.
    constexpr int kOpens = 2000;
    tree.MakeFile("share/swap", "file");
    tree.MakeFifo("share/swap.fifo");
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const std::string name = tree.Path("share/swap");
        const std::string other = tree.Path("share/swap.fifo");
        while (!stop.load())
            ::renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE);
    });

    int readFile = 0;
    for (int i = 0; i < kOpens; ++i) {
        UniqueFd handle;
        ItemStat stat;
        const OpenResult result =
            OpenItem(root, Split("swap"), ItemAccess::Read, false, handle, stat);
        if (result != OpenResult::Ok) {
            EXPECT_EQ(result, OpenResult::NotFound);
            continue;
        }
        EXPECT_EQ(stat.size, 4u);
        EXPECT_EQ(ReadAll(handle.Get()), "file");
        readFile += 1;
    }
    stop = true;
    swapper.join();
    EXPECT_GT(readFile, 0);
}

TEST_F(OpenItemTest, ReportsSizeTimeAndAttributes) {
    const timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456700}};
    ASSERT_EQ(::utimensat(AT_FDCWD, tree.Path("share/a.txt").c_str(), times, 0), 0);

    UniqueFd handle;
    ItemStat stat;
    ASSERT_EQ(OpenItem(root, Split("a.txt"), ItemAccess::ReadAttributes, false, handle, stat),
              OpenResult::Ok);
    EXPECT_EQ(stat.size, 5u);
    EXPECT_EQ(stat.attributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(stat.lastWriteTime, (1700000000ull + 11644473600ull) * 10000000ull + 1234567ull);
    EXPECT_NE(stat.mountId, 0u);

    ASSERT_EQ(OpenItem(root, Split("sub"), ItemAccess::ReadAttributes, false, handle, stat),
              OpenResult::Ok);
    EXPECT_EQ(stat.attributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(stat.size, 0u);

    ASSERT_EQ(OpenItem(root, Split(".hidden"), ItemAccess::ReadAttributes, true, handle, stat),
              OpenResult::Ok);
    EXPECT_EQ(stat.attributes, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(OpenItemTest, LeavesTheCallersSlotAloneOnFailure) {
    UniqueFd handle(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int held = handle.Get();
    ItemStat stat;
    stat.size = 77;
    EXPECT_EQ(OpenItem(root, Split("out_abs/x.txt"), ItemAccess::Read, false, handle, stat),
              OpenResult::Outside);
    EXPECT_EQ(handle.Get(), held);
    EXPECT_EQ(stat.size, 77u);
    EXPECT_EQ(fcntl(held, F_GETFD), FD_CLOEXEC);
}

TEST_F(OpenItemTest, AttributeHandleOfAFolderServesAsDirectoryForChanges) {
    UniqueFd folder;
    ItemStat stat;
    ASSERT_EQ(OpenItem(root, Split("sub"), ItemAccess::ReadAttributes, false, folder, stat),
              OpenResult::Ok);
    // Not readable...
    char byte;
    EXPECT_EQ(::read(folder.Get(), &byte, 1), -1);
    EXPECT_EQ(errno, EBADF);
    // ...but new items and no-replace renames work relative to it.
    ASSERT_EQ(::mkdirat(folder.Get(), "made", 0755), 0);
    EXPECT_EQ(::renameat2(folder.Get(), "made", folder.Get(), "b.txt", RENAME_NOREPLACE), -1);
    EXPECT_EQ(errno, EEXIST);
    ASSERT_EQ(::renameat2(folder.Get(), "made", folder.Get(), "renamed", RENAME_NOREPLACE), 0);
    struct statvfs space {};
    EXPECT_EQ(::fstatvfs(folder.Get(), &space), 0);
    EXPECT_GT(space.f_frsize, 0u);

    UniqueFd file;
    ASSERT_EQ(OpenItem(root, Split("sub/b.txt"), ItemAccess::Read, false, file, stat),
              OpenResult::Ok);
    EXPECT_EQ(ReadAll(file.Get()), "bee");
    ASSERT_EQ(OpenItem(root, Split("sub/renamed"), ItemAccess::ReadAttributes, false, file, stat),
              OpenResult::Ok);
    EXPECT_TRUE(stat.IsDirectory());
}

TEST_F(OpenItemTest, OneRequestKeepsToTheFolderItResolved) {
    // The folder resolved for a request is the one its opens start from, even
    // when another folder takes its place meanwhile.
    tree.Rename("share", "share.old");
    tree.MakeDir("share");
    tree.MakeFile("share/a.txt", "new");
    UniqueFd handle;
    ItemStat stat;
    ASSERT_EQ(OpenItem(root, Split("a.txt"), ItemAccess::Read, false, handle, stat),
              OpenResult::Ok);
    EXPECT_EQ(ReadAll(handle.Get()), "hello");

    // Resolved again (the next request), it is the folder in that place now.
    const std::optional<ShareRoot> next = ResolveShareRoot(root.dir, false);
    ASSERT_TRUE(next);
    ASSERT_EQ(OpenItem(*next, Split("a.txt"), ItemAccess::Read, false, handle, stat),
              OpenResult::Ok);
    EXPECT_EQ(ReadAll(handle.Get()), "new");
}

TEST_F(OpenItemTest, ShareRootReplacedByAFileOrALink) {
    // A root kept from an earlier request holds no folder of its own and is
    // checked against its place again.
    root.folder.reset();
    tree.Rename("share", "share.old");
    tree.MakeFile("share", "not a folder");
    UniqueFd handle;
    ItemStat stat;
    for (const char* path : {"", "a.txt"}) {
        EXPECT_EQ(OpenItem(root, Split(path), ItemAccess::ReadAttributes, false, handle, stat),
                  OpenResult::NotFound)
            << path;
    }
    EXPECT_FALSE(ResolveShareRoot(root.dir, false));

    // A link in the share's place leads elsewhere: the root stays pinned.
    tree.Remove("share");
    tree.MakeLink(tree.Path("outside"), "share");
    EXPECT_EQ(OpenItem(root, Split("x.txt"), ItemAccess::Read, false, handle, stat),
              OpenResult::Outside);
    EXPECT_FALSE(handle.IsValid());
}

TEST_F(OpenItemTest, ShareRootMovedBehindALinkOrSwappedForAnotherFolder) {
    root.folder.reset(); // kept from an earlier request
    // The same folder, now reached through a link: its final path is no
    // longer the pinned one, so it is not the root any more.
    tree.Rename("share", "share.moved");
    tree.MakeLink("share.moved", "share");
    UniqueFd handle;
    ItemStat stat;
    for (const char* path : {"", "a.txt"}) {
        EXPECT_EQ(OpenItem(root, Split(path), ItemAccess::Read, false, handle, stat),
                  OpenResult::Outside)
            << path;
    }
    EXPECT_FALSE(handle.IsValid());

    // Another folder in the share's very place is what the path names now.
    tree.Remove("share");
    tree.MakeDir("share");
    tree.MakeFile("share/a.txt", "new");
    ASSERT_EQ(OpenItem(root, Split("a.txt"), ItemAccess::Read, false, handle, stat),
              OpenResult::Ok);
    EXPECT_EQ(ReadAll(handle.Get()), "new");

    // And the folder moved back is served again.
    tree.Rename("share", "share.new");
    tree.Rename("share.moved", "share");
    ASSERT_EQ(OpenItem(root, Split("a.txt"), ItemAccess::Read, false, handle, stat),
              OpenResult::Ok);
    EXPECT_EQ(ReadAll(handle.Get()), "hello");
}

TEST_F(OpenItemTest, DeniedWhereTheSystemRefuses) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not bind root";
    tree.MakeDir("share/locked");
    tree.MakeFile("share/locked/f.txt", "x");
    tree.MakeFile("share/unreadable.txt", "x");
    ASSERT_EQ(::chmod(tree.Path("share/unreadable.txt").c_str(), 0), 0);
    ASSERT_EQ(::chmod(tree.Path("share/locked").c_str(), 0), 0);
    UniqueFd handle;
    ItemStat stat;
    EXPECT_EQ(
        OpenItem(root, Split("locked/f.txt"), ItemAccess::ReadAttributes, false, handle, stat),
        OpenResult::Denied);
    EXPECT_EQ(OpenItem(root, Split("unreadable.txt"), ItemAccess::Read, false, handle, stat),
              OpenResult::Denied);
    ASSERT_EQ(::chmod(tree.Path("share/locked").c_str(), 0755), 0);
}

class SingleFileShareTest : public ::testing::Test {
protected:
    TempTree tree;
};

TEST_F(SingleFileShareTest, MatchesItsNameInAnyCaseAndOpensTheStoredFile) {
    tree.MakeDir("docs");
    tree.MakeFile("docs/Report.txt", "report");
    tree.MakeFile("docs/other.txt", "other");
    const std::optional<ShareRoot> root = ResolveShareRoot(U16(tree.Path("docs/Report.txt")), true);
    ASSERT_TRUE(root);

    const struct {
        std::string path;
        OpenResult expected;
    } cases[] = {
        {"Report.txt", OpenResult::Ok},         {"REPORT.TXT", OpenResult::Ok},
        {"report.txt", OpenResult::Ok},         {"", OpenResult::NotFound},
        {"other.txt", OpenResult::NotFound},    {"Report.txt/x", OpenResult::NotFound},
        {"Report.tx", OpenResult::NotFound},    {"../docs/Report.txt", OpenResult::NotFound},
        {"x/Report.txt", OpenResult::NotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        UniqueFd handle;
        ItemStat stat;
        ASSERT_EQ(OpenItem(*root, Split(c.path), ItemAccess::Read, false, handle, stat),
                  c.expected);
        if (c.expected == OpenResult::Ok) {
            EXPECT_EQ(ReadAll(handle.Get()), "report");
        }
    }
}

TEST_F(SingleFileShareTest, HiddenFileIsServedButReplacementsAreNot) {
    tree.MakeFile(".profile", "settings");
    const std::optional<ShareRoot> root = ResolveShareRoot(U16(tree.Path(".profile")), true);
    ASSERT_TRUE(root);
    UniqueFd handle;
    ItemStat stat;
    ASSERT_EQ(OpenItem(*root, Split(".PROFILE"), ItemAccess::Read, false, handle, stat),
              OpenResult::Ok);
    EXPECT_EQ(ReadAll(handle.Get()), "settings");
    EXPECT_EQ(stat.attributes, FILE_ATTRIBUTE_HIDDEN);

    // The file replaced by a link (even to a file beside it) or by a folder.
    tree.MakeFile("elsewhere", "elsewhere");
    tree.Remove(".profile");
    tree.MakeLink("elsewhere", ".profile");
    EXPECT_EQ(OpenItem(*root, Split(".profile"), ItemAccess::Read, false, handle, stat),
              OpenResult::Outside);
    tree.Remove(".profile");
    tree.MakeDir(".profile");
    EXPECT_EQ(OpenItem(*root, Split(".profile"), ItemAccess::ReadAttributes, false, handle, stat),
              OpenResult::NotFound);
}

TEST_F(SingleFileShareTest, UploadTemporaryNameIsNeverServed) {
    tree.MakeFile(".vcsupload-0011223344556677", "partial");
    const std::optional<ShareRoot> root =
        ResolveShareRoot(U16(tree.Path(".vcsupload-0011223344556677")), true);
    ASSERT_TRUE(root);
    UniqueFd handle;
    ItemStat stat;
    EXPECT_EQ(
        OpenItem(*root, Split(".vcsupload-0011223344556677"), ItemAccess::Read, true, handle, stat),
        OpenResult::NotFound);
}

} // namespace
} // namespace Velto::Corvane
