// Times the confined opening of items and the listing of a large folder, next
// to plain openat/readdir baselines on the same tree.

#include "base/utf.h"
#include "webapp/fs/getdents_enumerator.h"
#include "webapp/fs/item_name.h"
#include "webapp/fs/open_item.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace Velto;
using namespace Velto::Corvane;

constexpr int kDeepLevels = 20;
constexpr int kLargeFolderEntries = 10000;
// Out of every hundred entries of the large folder: hidden ones, upload
// temporary files, links that stay inside and links that lead out.
constexpr int kHiddenPerHundred = 5;
constexpr int kUploadTempPerHundred = 2;
constexpr int kInsideLinksPerHundred = 2;
constexpr int kOutsideLinksPerHundred = 1;

struct BenchTree {
    std::string base;
    ShareRoot root;
    PathComponents depth1{u"file1.txt"};
    PathComponents depth20;
    PathComponents large{u"large"};

    BenchTree() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/velto-fs-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        base = std::filesystem::canonical(pattern).string();
        const std::string share = base + "/share";
        ::mkdir(share.c_str(), 0755);
        ::mkdir((base + "/outside").c_str(), 0755);
        WriteFile(share + "/file1.txt");

        std::string deep = share;
        for (int level = 1; level < kDeepLevels; ++level) {
            const std::string name = "level" + std::to_string(level);
            deep += "/" + name;
            ::mkdir(deep.c_str(), 0755);
            depth20.push_back(Utf8ToUtf16(name));
        }
        WriteFile(deep + "/file20.txt");
        depth20.push_back(u"file20.txt");

        const std::string large = share + "/large";
        ::mkdir(large.c_str(), 0755);
        for (int i = 0; i < kLargeFolderEntries; ++i) {
            const int slot = i % 100;
            const std::string number = std::to_string(i);
            if (slot < kHiddenPerHundred) {
                WriteFile(large + "/.hidden" + number);
            } else if (slot < kHiddenPerHundred + kUploadTempPerHundred) {
                WriteFile(large + "/.vcsupload-" + number);
            } else if (slot < kHiddenPerHundred + kUploadTempPerHundred + kInsideLinksPerHundred) {
                ::symlink("../file1.txt", (large + "/inside-link" + number).c_str());
            } else if (slot < kHiddenPerHundred + kUploadTempPerHundred + kInsideLinksPerHundred +
                                  kOutsideLinksPerHundred) {
                ::symlink((base + "/outside").c_str(), (large + "/outside-link" + number).c_str());
            } else {
                WriteFile(large + "/photo " + number + ".jpg");
            }
        }

        const std::optional<ShareRoot> resolved = ResolveShareRoot(Utf8ToUtf16(share), false);
        if (!resolved) {
            std::fprintf(stderr, "cannot resolve %s\n", share.c_str());
            std::exit(1);
        }
        root = *resolved;
    }

    ~BenchTree() {
        std::error_code ignored;
        std::filesystem::remove_all(base, ignored);
    }

    static void WriteFile(const std::string& path) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, "data", 4) != 4) {
            std::perror(path.c_str());
            std::exit(1);
        }
        ::close(fd);
    }

    std::string Plain(const PathComponents& components) const {
        std::string path = Utf16ToUtf8(root.dir);
        for (const std::u16string& component : components)
            path += "/" + Utf16ToUtf8(component);
        return path;
    }
};

BenchTree& Tree() {
    static BenchTree tree;
    return tree;
}

void OpenItemAt(benchmark::State& state, const PathComponents& components, ItemAccess access) {
    const BenchTree& tree = Tree();
    for (auto _ : state) {
        UniqueFd handle;
        ItemStat stat;
        if (OpenItem(tree.root, components, access, false, handle, stat) != OpenResult::Ok) {
            state.SkipWithError("OpenItem failed");
            break;
        }
        benchmark::DoNotOptimize(stat.size);
    }
}

void BM_OpenItemDepth1Attributes(benchmark::State& state) {
    OpenItemAt(state, Tree().depth1, ItemAccess::ReadAttributes);
}
void BM_OpenItemDepth1Read(benchmark::State& state) {
    OpenItemAt(state, Tree().depth1, ItemAccess::Read);
}
void BM_OpenItemDepth20Attributes(benchmark::State& state) {
    OpenItemAt(state, Tree().depth20, ItemAccess::ReadAttributes);
}
void BM_OpenItemDepth20Read(benchmark::State& state) {
    OpenItemAt(state, Tree().depth20, ItemAccess::Read);
}

// Baseline: what an unconfined server does, one open and one fstat by path.
void PlainOpenAt(benchmark::State& state, const PathComponents& components) {
    const std::string path = Tree().Plain(components);
    for (auto _ : state) {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (!fd || ::fstat(fd.Get(), &st) != 0) {
            state.SkipWithError("open failed");
            break;
        }
        benchmark::DoNotOptimize(st.st_size);
    }
}
void BM_PlainOpenDepth1(benchmark::State& state) {
    PlainOpenAt(state, Tree().depth1);
}
void BM_PlainOpenDepth20(benchmark::State& state) {
    PlainOpenAt(state, Tree().depth20);
}

// The listing's work: enumerate, drop upload temporary and hidden entries,
// open each link entry to see whether it stays inside.
void BM_EnumerateAndFilter10000(benchmark::State& state) {
    const BenchTree& tree = Tree();
    std::size_t shown = 0;
    for (auto _ : state) {
        UniqueFd folder;
        ItemStat stat;
        if (OpenItem(tree.root, tree.large, ItemAccess::ListDirectory, false, folder, stat) !=
            OpenResult::Ok) {
            state.SkipWithError("OpenItem failed");
            break;
        }
        std::vector<DirEntry> entries;
        if (!EnumerateDirectory(folder.Get(), entries)) {
            state.SkipWithError("EnumerateDirectory failed");
            break;
        }
        shown = 0;
        PathComponents linkPath = tree.large;
        linkPath.emplace_back();
        for (const DirEntry& entry : entries) {
            if (IsUploadTempName(entry.name) ||
                (entry.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0)
                continue;
            if (IsLink(entry.reparseTag)) {
                linkPath.back() = entry.name;
                UniqueFd link;
                ItemStat linkStat;
                if (OpenItem(tree.root, linkPath, ItemAccess::ReadAttributes, false, link,
                             linkStat) != OpenResult::Ok)
                    continue;
            }
            ++shown;
        }
        benchmark::DoNotOptimize(shown);
    }
    state.counters["entries"] = kLargeFolderEntries;
    state.counters["shown"] = static_cast<double>(shown);
}

// Baseline: readdir plus one fstatat per entry, no filtering.
void BM_PlainReaddirStat10000(benchmark::State& state) {
    const std::string path = Tree().Plain(Tree().large);
    for (auto _ : state) {
        DIR* dir = ::opendir(path.c_str());
        if (dir == nullptr) {
            state.SkipWithError("opendir failed");
            break;
        }
        std::size_t count = 0;
        while (const dirent* entry = ::readdir(dir)) {
            struct stat st {};
            if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                ++count;
        }
        ::closedir(dir);
        benchmark::DoNotOptimize(count);
    }
}

BENCHMARK(BM_OpenItemDepth1Attributes);
BENCHMARK(BM_OpenItemDepth1Read);
BENCHMARK(BM_PlainOpenDepth1);
BENCHMARK(BM_OpenItemDepth20Attributes);
BENCHMARK(BM_OpenItemDepth20Read);
BENCHMARK(BM_PlainOpenDepth20);
BENCHMARK(BM_EnumerateAndFilter10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReaddirStat10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Tree(); // build the tree before any timing starts
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
