// The thumbnail machinery below the route: the size rule, the cache, the
// flattening, the slots and the helper process with stand-in helpers.
#include "webapp/thumbnails/file_version.h"
#include "webapp/thumbnails/flatten_on_white.h"
#include "webapp/thumbnails/thumbnail_cache.h"
#include "webapp/thumbnails/thumbnail_failures.h"
#include "webapp/thumbnails/thumbnail_helper_process.h"
#include "webapp/thumbnails/thumbnail_size.h"
#include "webapp/thumbnails/thumbnail_slots.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

namespace Velto::Corvane {
namespace {

using namespace std::chrono_literals;

TEST(ThumbnailSize, ReadsLikeAtoiThenClamps) {
    const struct {
        std::string_view text;
        std::uint32_t pixels;
    } cases[] = {
        {"", 256},  {"10", 32},   {"9999", 512}, {"abc", 32},    {"32", 32},
        {"31", 32}, {"512", 512}, {"513", 512},  {" 64x", 64},   {"\t+100", 100},
        {"-5", 32}, {"-600", 32}, {"0", 32},     {"128.9", 128}, {"99999999999999999999", 512},
        {" ", 32},  {"+", 32},    {"1 00", 32},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE("size=\"" + std::string(row.text) + "\"");
        EXPECT_EQ(ThumbnailPixels(row.text), row.pixels);
    }
}

TEST(ThumbnailCache, KeepsRecentlyUsedWithinTheBudget) {
    ThumbnailCache cache(400);
    int made = 0;
    auto maker = [&](std::size_t size) {
        return [&made, size]() -> std::optional<std::string> {
            ++made;
            return std::string(size, 'j');
        };
    };
    EXPECT_EQ(cache.Get("/a", "\"1-2-64\"", 64, maker(100))->size(), 100u);
    EXPECT_EQ(cache.Get("/a", "\"1-2-64\"", 64, maker(100))->size(), 100u);
    EXPECT_EQ(made, 1);
    // Another size or tag is another key.
    cache.Get("/a", "\"1-2-64\"", 128, maker(100));
    cache.Get("/a", "\"1-3-64\"", 64, maker(100));
    EXPECT_EQ(made, 3);
    EXPECT_EQ(cache.Used(), 300u);
    // Touch the first, then overflow: the least recently used one goes.
    cache.Get("/a", "\"1-2-64\"", 64, maker(100));
    cache.Get("/b", "\"1-2-64\"", 64, maker(100));
    EXPECT_EQ(cache.Used(), 400u);
    cache.Get("/c", "\"1-2-64\"", 64, maker(100));
    EXPECT_EQ(cache.Used(), 400u);
    made = 0;
    cache.Get("/a", "\"1-2-64\"", 64, maker(100));
    cache.Get("/a", "\"1-3-64\"", 64, maker(100));
    EXPECT_EQ(made, 0);
    cache.Get("/a", "\"1-2-64\"", 128, maker(100));
    EXPECT_EQ(made, 1);
}

TEST(ThumbnailCache, OverAQuarterOfTheBudgetIsReturnedButNotKept) {
    ThumbnailCache cache(400);
    int made = 0;
    auto maker = [&](std::size_t size) {
        return [&made, size]() -> std::optional<std::string> {
            ++made;
            return std::string(size, 'j');
        };
    };
    EXPECT_EQ(cache.Get("/big", "t", 64, maker(101))->size(), 101u);
    EXPECT_EQ(cache.Get("/big", "t", 64, maker(101))->size(), 101u);
    EXPECT_EQ(made, 2);
    EXPECT_EQ(cache.Get("/edge", "t", 64, maker(100))->size(), 100u);
    cache.Get("/edge", "t", 64, maker(100));
    EXPECT_EQ(made, 3);
    EXPECT_FALSE(cache.Get("/none", "t", 64, [] { return std::optional<std::string>(); }));
    EXPECT_EQ(cache.Used(), 100u);
}

TEST(ThumbnailCache, MakingRunsWithoutTheLock) {
    ThumbnailCache cache(1000);
    // A maker that uses the cache itself would deadlock if the lock were held.
    const auto outer = cache.Get("/outer", "t", 64, [&]() -> std::optional<std::string> {
        return cache.Get("/inner", "t", 64, [] { return std::optional<std::string>("in"); });
    });
    EXPECT_EQ(outer, "in");
    EXPECT_EQ(cache.Used(), 4u);
}

TEST(FlattenOnWhite, PremultipliedPixelsLandOnWhite) {
    ThumbnailBitmap bitmap;
    bitmap.width = 3;
    bitmap.height = 2;
    // transparent, opaque red, half-transparent blue; then opaque, clear-ish, opaque black
    const unsigned char pixels[] = {0,  0,  0,  0,   0, 0, 255, 255, 128, 0, 0, 128,
                                    10, 20, 30, 255, 5, 5, 5,   10,  0,   0, 0, 255};
    bitmap.bgra.assign(reinterpret_cast<const char*>(pixels), sizeof pixels);
    const BgrImage image = FlattenOnWhite(bitmap);
    EXPECT_EQ(image.stride, 12u); // 9 bytes padded to a multiple of 4
    ASSERT_EQ(image.bytes.size(), 24u);
    const unsigned char expected[] = {255, 255, 255, 0,   0,   255, 255, 127, 127, 0, 0, 0,
                                      10,  20,  30,  250, 250, 250, 0,   0,   0,   0, 0, 0};
    for (std::size_t i = 0; i < sizeof expected; ++i) {
        if (i % 12 >= 9)
            continue; // padding
        SCOPED_TRACE(i);
        EXPECT_EQ(static_cast<unsigned char>(image.bytes[i]), expected[i]);
    }
}

TEST(ThumbnailSlots, NeverAdmitMoreThanTheirCount) {
    ThumbnailSlots slots(2, 2);
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            const ThumbnailSlots::Held held(slots, i % 2 == 0 ? "a" : "b");
            const int now = ++inside;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(5ms);
            --inside;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(most.load(), 2);
}

// Threads asking for slots one after another (each queued before the next
// asks), recording the order in which they got them.
class SlotQueue {
public:
    explicit SlotQueue(ThumbnailSlots& slots) : m_slots(slots) {}
    ~SlotQueue() { Join(); }

    // Returns once the new request waits or was served.
    void Ask(const std::string& client) {
        const std::size_t waiting = m_slots.Waiting();
        const std::size_t served = Order().size();
        m_threads.emplace_back([this, client] {
            const ThumbnailSlots::Held held(m_slots, client);
            const std::lock_guard lock(m_mutex);
            m_order.push_back(client);
        });
        while (m_slots.Waiting() == waiting && Order().size() == served)
            std::this_thread::sleep_for(1ms);
    }
    std::vector<std::string> Order() {
        const std::lock_guard lock(m_mutex);
        return m_order;
    }
    std::vector<std::string> Join() {
        for (std::thread& thread : m_threads)
            thread.join();
        m_threads.clear();
        const std::lock_guard lock(m_mutex);
        return m_order;
    }

private:
    ThumbnailSlots& m_slots;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex; // guards m_order
    std::vector<std::string> m_order;
};

TEST(ThumbnailSlots, AClientHoldsAtMostHalfAndTheOthersGetTheRest) {
    ThumbnailSlots slots(2);
    EXPECT_EQ(slots.PerClient(), 1u);
    SlotQueue queue(slots);
    {
        const ThumbnailSlots::Held first(slots, "attacker");
        // A slot is free, yet the attacker's second request waits ...
        queue.Ask("attacker");
        EXPECT_EQ(slots.Waiting(), 1u);
        // ... while another client gets it at once.
        queue.Ask("visitor");
        EXPECT_EQ(queue.Order(), std::vector<std::string>{"visitor"});
        EXPECT_EQ(slots.Waiting(), 1u);
    }
    EXPECT_EQ(queue.Join(), (std::vector<std::string>{"visitor", "attacker"}));
}

TEST(ThumbnailSlots, AFreedSlotGoesToTheClientServedLeastRecently) {
    ThumbnailSlots slots(1);
    SlotQueue queue(slots);
    {
        const ThumbnailSlots::Held busy(slots, "a");
        for (const char* client : {"a", "a", "b", "a", "b", "c"})
            queue.Ask(client);
        EXPECT_EQ(slots.Waiting(), 6u);
    }
    // Not in arrival order: the clients take turns, the one just served last.
    EXPECT_EQ(queue.Join(), (std::vector<std::string>{"b", "c", "a", "b", "a", "a"}));
}

TEST(ThumbnailFailures, AFailedVersionIsNotTriedAgainUntilItsMemoryEnds) {
    ThumbnailFailures failures;
    const FileVersion slow{1, 42, 1'700'000'000'000'000'000, 9000};
    FileVersion rewritten = slow;
    rewritten.modifiedNs += 1;
    FileVersion other = slow;
    other.inode = 43;
    constexpr std::uint64_t kNow = 1'000'000;
    failures.Begin(slow, kNow)->Failed(kNow);

    const struct {
        const char* what;
        FileVersion version;
        std::uint64_t at;
        bool tried;
    } cases[] = {
        {"the same version at once", slow, kNow + 1, false},
        {"the same version just before the memory ends", slow,
         kNow + ThumbnailFailures::kMemoryMs - 1, false},
        {"the same file written again", rewritten, kNow + 1, true},
        {"another file", other, kNow + 1, true},
        {"the same version once the memory ended", slow, kNow + ThumbnailFailures::kMemoryMs, true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(failures.Begin(row.version, row.at).has_value(), row.tried);
    }
}

TEST(ThumbnailFailures, OneAttemptPerVersionAndTheOthersLearnItsOutcome) {
    ThumbnailFailures failures;
    const FileVersion version{1, 7, 5, 100};
    std::optional<ThumbnailFailures::Attempt> first = failures.Begin(version, 10);
    ASSERT_TRUE(first);
    std::atomic<int> outcome{-1};
    std::thread second([&] { outcome = failures.Begin(version, 11).has_value() ? 1 : 0; });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(outcome.load(), -1); // still waiting for the first
    first->Failed(10);
    first.reset();
    second.join();
    EXPECT_EQ(outcome.load(), 0);
    EXPECT_EQ(failures.Remembered(), 1u);
}

TEST(FileVersion, ChangesWhenTheFileIsWrittenAndNotWhenItIsRenamed) {
    char pattern[] = "/tmp/velto-version-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path dir = pattern;
    std::ofstream(dir / "a") << "one";
    const int fd = ::open((dir / "a").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::optional<FileVersion> first = FileVersionOf(fd);
    ASSERT_TRUE(first);
    std::filesystem::rename(dir / "a", dir / "b");
    EXPECT_EQ(FileVersionOf(fd), first);
    const timespec later[2] = {{0, UTIME_OMIT}, {1'800'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "b").c_str(), later, 0), 0);
    EXPECT_NE(FileVersionOf(fd), first);
    EXPECT_FALSE(FileVersionOf(-1));
    ::close(fd);
    std::filesystem::remove_all(dir);
}

// Stand-in helpers: shell scripts that misbehave in one way each.
class HelperProcess : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velto-helper-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        std::ofstream(m_dir / "input") << "ABCDEFGH";
        m_input = ::open((m_dir / "input").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(m_input, 0);
    }
    void TearDown() override {
        ::close(m_input);
        std::filesystem::remove_all(m_dir);
    }

    std::string Script(const std::string& name, const std::string& body) {
        const std::filesystem::path path = m_dir / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path.string();
    }

    std::optional<ThumbnailBitmap> Run(const std::string& helper,
                                       std::chrono::milliseconds timeout = 5s) {
        return RunFull(helper, timeout).bitmap;
    }
    HelperResult RunFull(const std::string& helper, std::chrono::milliseconds timeout = 5s) {
        return RunThumbnailHelper(helper, m_input, 64, "photo.jpg", timeout);
    }

    std::filesystem::path m_dir;
    int m_input{-1};
};

// "VCTB", width 1, height 2, then the 8 bytes the helper reads from fd 3.
constexpr std::string_view kEchoReply = R"(printf 'VCTB\001\000\000\000\002\000\000\000'; cat <&3)";

TEST_F(HelperProcess, ReadsTheFileFromDescriptorThreeAndRepliesWithPixels) {
    const auto bitmap = Run(
        Script("echo", std::string(kEchoReply) + "\n[ \"$1\" = 64 ] && [ \"$2\" = photo.jpg ]"));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width, 1u);
    EXPECT_EQ(bitmap->height, 2u);
    EXPECT_EQ(bitmap->bgra, "ABCDEFGH");
}

// Only a helper that never started leaves the file without a verdict.
TEST_F(HelperProcess, EveryFailureMeansNoThumbnail) {
    const struct {
        const char* name;
        std::string body;
    } cases[] = {
        {"crashes", std::string(kEchoReply) + "\nkill -SEGV $$"},
        {"exits with failure", std::string(kEchoReply) + "\nexit 1"},
        {"short reply", R"(printf 'VCTB\001\000\000\000\002\000\000\000ABC')"},
        {"long reply", std::string(kEchoReply) + "; printf X"},
        {"wrong magic", R"(printf 'VCTX\001\000\000\000\002\000\000\000'; cat <&3)"},
        {"zero width", R"(printf 'VCTB\000\000\000\000\002\000\000\000')"},
        {"over 4096 pixels", R"(printf 'VCTB\001\020\000\000\001\000\000\000')"},
        {"nothing", "exit 0"},
        {"cannot run", ""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        std::string helper = Script("helper", row.body);
        if (row.body.empty())
            helper = (m_dir / "missing").string();
        const HelperResult result = RunFull(helper);
        EXPECT_FALSE(result.bitmap);
        EXPECT_EQ(result.started, !row.body.empty());
    }
}

// The helper replies only when its own priority (field 19 of its stat) is
// the expected one (with a pixel of its own: the input was read by the first).
// One that only waits keeps its priority however long it waits; one that has
// computed for more than a second (fields 14 and 15, in clock ticks) is
// lowered, which it may have to wait a moment to see.
TEST_F(HelperProcess, AHelperThatComputesForOverASecondRunsAtTheLowestPriority) {
    errno = 0;
    const std::string ours = std::to_string(::getpriority(PRIO_PROCESS, 0)); // as started
    ASSERT_EQ(errno, 0);
    const std::string niceIs = "[ \"$(cut -d' ' -f19 /proc/$$/stat)\" = ";
    const std::string cpuTicks = "$(( $(cut -d' ' -f14 /proc/$$/stat) + "
                                 "$(cut -d' ' -f15 /proc/$$/stat) ))";
    const std::string ticksPerSecond = "$(getconf CLK_TCK)";
    const struct {
        const char* name;
        std::string body;
    } cases[] = {
        {"waits", "sleep 1.5\n" + niceIs + ours + " ] || exit 1"},
        {"computes",
         "while [ " + cpuTicks + " -lt $(( " + ticksPerSecond +
             " * 6 / 5 )) ]; do k=0; while [ $k -lt 20000 ]; do k=$((k+1)); done; done\n"
             "for i in $(seq 30); do " +
             niceIs + "19 ] && break; sleep 0.1; done\n" + niceIs + "19 ] || exit 1"},
    };
    const std::string onePixelReply = R"(printf 'VCTB\001\000\000\000\001\000\000\000ABCD')";
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(Run(Script(row.name, row.body + "\n" + onePixelReply), 60s));
    }
}

TEST_F(HelperProcess, AHelperThatHangsIsKilledWithEverythingItStarted) {
    const std::filesystem::path pidFile = m_dir / "child.pid";
    const std::string helper =
        Script("hang", "sleep 3600 & echo $! > '" + pidFile.string() + "'\nwait");
    const HelperResult result = RunFull(helper, 300ms);
    EXPECT_FALSE(result.bitmap);
    EXPECT_TRUE(result.started);
    pid_t child = 0;
    std::ifstream(pidFile) >> child;
    ASSERT_GT(child, 0);
    // The helper's own child was in its process group and got killed too
    // (it may linger briefly as a zombie of whoever reaps it).
    bool gone = false;
    for (int i = 0; i < 2000 && !gone; ++i) {
        std::ifstream status("/proc/" + std::to_string(child) + "/stat");
        std::string pid, name, state;
        gone = !(status >> pid >> name >> state) || state == "Z";
        if (!gone)
            std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(gone);
}

} // namespace
} // namespace Velto::Corvane
