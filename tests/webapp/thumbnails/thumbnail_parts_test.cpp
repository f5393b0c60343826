// The thumbnail machinery below the route: the size rule, the cache, the
// flattening, the slots and the helper process with stand-in helpers.
#include "webapp/thumbnails/flatten_on_white.h"
#include "webapp/thumbnails/thumbnail_cache.h"
#include "webapp/thumbnails/thumbnail_helper_process.h"
#include "webapp/thumbnails/thumbnail_size.h"
#include "webapp/thumbnails/thumbnail_slots.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
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
    ThumbnailSlots slots(2);
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            const ThumbnailSlots::Held held(slots);
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
        EXPECT_FALSE(Run(helper));
    }
}

TEST_F(HelperProcess, AHelperThatHangsIsKilledWithEverythingItStarted) {
    const std::filesystem::path pidFile = m_dir / "child.pid";
    const std::string helper =
        Script("hang", "sleep 3600 & echo $! > '" + pidFile.string() + "'\nwait");
    EXPECT_FALSE(Run(helper, 300ms));
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
