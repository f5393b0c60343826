// ZIP64 through the real server: sparse files around the 4 GiB limit and an
// archive of 65,535 entries, read by unzip, 7z, bsdtar and Python's zipfile.
#include "tests/webapp/zip_test_support.h"

#include "base/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

namespace Velto::Corvane::Testing {
namespace {

class LargeZip : public ZipFixture {
protected:
    void SetUp() override {
        ZipFixture::SetUp();
        m_share = Files() / "share";
        std::filesystem::create_directories(m_share);
        Config config;
        config.shares.push_back(MakeShare("00000000000000b1", u"big", m_share));
        Apply(config);
    }

    void MakeSparse(const std::string& name, std::uint64_t size) {
        const UniqueFd fd(::open((m_share / name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd);
        ASSERT_EQ(::ftruncate(fd.Get(), static_cast<off_t>(size)), 0);
        // One byte of data at the end, so the CRC is not that of zeros alone.
        ASSERT_EQ(::pwrite(fd.Get(), "!", 1, static_cast<off_t>(size - 1)), 1);
    }

    std::filesystem::path m_share;
};

TEST_F(LargeZip, FilesAroundFourGibibytes) {
    MakeSparse("at-limit.bin", 0xFFFFFFFFull);
    MakeSparse("below-limit.bin", 0xFFFFFFFEull);
    const std::filesystem::path archive = Root() / "large.zip";
    ASSERT_TRUE(FetchSparse(PrepareUrl("big", "", {"at-limit.bin", "below-limit.bin"}), archive));
    // Info-ZIP UnZip 6.0 is left out here: it reads the zero sizes of a
    // streamed entry's local ZIP64 field over the real ones, and carries the
    // first entry's local sizes into the second entry's central field (so it
    // reports a bad CRC and a bad offset). 7-Zip, libarchive and Python read
    // the same bytes correctly.
    ExpectReadersAccept(archive, false);

    const JsonValue inspected = Inspect(archive);
    const auto& entries = inspected.Get("entries").AsArray();
    ASSERT_EQ(entries.size(), 2u);
    const JsonValue& large = entries[0];
    EXPECT_EQ(large.Get("name").AsString(), "at-limit.bin");
    EXPECT_EQ(large.Get("size").AsNumber(), 4294967295.0);
    EXPECT_EQ(large.Get("localVersion").AsNumber(), 45);
    EXPECT_EQ(large.Get("versionNeeded").AsNumber(), 45);
    EXPECT_EQ(large.Get("localExtra").AsNumber(), 20);
    EXPECT_EQ(SerializeJson(large.Get("localSizes"), false), "[4294967295,4294967295]");
    EXPECT_EQ(large.Get("descriptor").Get("bytes").AsNumber(), 24);
    EXPECT_EQ(SerializeJson(large.Get("descriptor").Get("sizes"), false),
              "[4294967295,4294967295]");

    // Not ZIP64 by its own size, but it starts beyond 4 GiB: only its
    // central header needs the wide offset.
    const JsonValue& small = entries[1];
    EXPECT_EQ(small.Get("size").AsNumber(), 4294967294.0);
    EXPECT_EQ(small.Get("localVersion").AsNumber(), 20);
    EXPECT_EQ(small.Get("localExtra").AsNumber(), 0);
    EXPECT_EQ(small.Get("descriptor").Get("bytes").AsNumber(), 16);
    EXPECT_EQ(small.Get("versionNeeded").AsNumber(), 45);
    EXPECT_GT(small.Get("offset").AsNumber(), 4294967295.0);

    EXPECT_TRUE(inspected.Get("zip64Locator").AsBool());
    EXPECT_EQ(inspected.Get("end").Get("offset").AsNumber(), 4294967295.0);

    int exitCode;
    const std::string tail = RunCommand(
        "7z e -so '" + archive.string() + "' below-limit.bin 2>/dev/null | tail -c 1", exitCode);
    EXPECT_EQ(tail, "!");
}

TEST_F(LargeZip, SixtyFiveThousandFiveHundredThirtyFiveEntries) {
    // One folder and 65,534 files in it: exactly the count that needs ZIP64.
    const std::filesystem::path folder = m_share / "many";
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 65'534; ++i) {
        const UniqueFd fd(
            ::open((folder / std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd);
    }
    const std::filesystem::path archive = Root() / "many.zip";
    ASSERT_TRUE(FetchSparse(PrepareUrl("big", "", {"many"}), archive));
    ExpectReadersAccept(archive);
    const JsonValue inspected = Inspect(archive);
    EXPECT_EQ(inspected.Get("entries").AsArray().size(), 65'535u);
    EXPECT_EQ(inspected.Get("end").Get("count").AsNumber(), 0xFFFF);
    EXPECT_EQ(inspected.Get("end").Get("size").AsNumber(), 4294967295.0);
    EXPECT_TRUE(inspected.Get("zip64Locator").AsBool());
}

} // namespace
} // namespace Velto::Corvane::Testing
