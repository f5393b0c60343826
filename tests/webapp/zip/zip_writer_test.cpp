// The archive writer's records, byte by byte, and its ZIP64 thresholds.
#include "webapp/zip/dos_date_time.h"
#include "webapp/zip/zip_crc32.h"
#include "webapp/zip/zip_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace Velto::Corvane {
namespace {

// An output that keeps every record and counts big data pieces without
// keeping them, so multi-gigabyte entries cost no memory.
struct Capture {
    static constexpr std::size_t kKeepUpTo = 4096;
    std::string bytes; // everything kept, in order
    std::uint64_t skipped{0};
    int calls{0};
    int failAtCall{-1};

    ZipWriter::Output Output() {
        return [this](std::span<const std::byte> piece) {
            if (calls++ == failAtCall)
                return false;
            if (piece.size() > kKeepUpTo)
                skipped += piece.size();
            else
                bytes.append(reinterpret_cast<const char*>(piece.data()), piece.size());
            return true;
        };
    }
};

std::uint64_t Le(const std::string& bytes, std::size_t at, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value =
            (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    return value;
}

std::span<const std::byte> Bytes(std::string_view text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

class ZipWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
};

// 2024-03-09 13:45:31 UTC as a FILETIME.
constexpr FileTime kStamp = (1'709'991'931ULL + 11'644'473'600ULL) * 10'000'000ULL;

TEST_F(ZipWriterTest, OneFileAndOneFolderRecordByRecord) {
    Capture out;
    ZipWriter writer(out.Output());
    ASSERT_TRUE(writer.BeginFile("report.pdf", kStamp, 5));
    ASSERT_TRUE(writer.Write(Bytes("hello")));
    ASSERT_TRUE(writer.EndFile());
    ASSERT_TRUE(writer.AddDirectory("empty", kStamp));
    ASSERT_TRUE(writer.Finish());
    const std::string& z = out.bytes;
    const std::uint16_t time = 13 * 2048 + 45 * 32 + 31 / 2;
    const std::uint16_t date = (2024 - 1980) * 512 + 3 * 32 + 9;

    // Local header of the file, its data and its descriptor.
    EXPECT_EQ(Le(z, 0, 4), 0x04034B50u);
    EXPECT_EQ(Le(z, 4, 2), 20u);
    EXPECT_EQ(Le(z, 6, 2), 0x0808u);
    EXPECT_EQ(Le(z, 8, 2), 0u);
    EXPECT_EQ(Le(z, 10, 2), time);
    EXPECT_EQ(Le(z, 12, 2), date);
    EXPECT_EQ(Le(z, 14, 4), 0u);
    EXPECT_EQ(Le(z, 18, 4), 0u);
    EXPECT_EQ(Le(z, 22, 4), 0u);
    EXPECT_EQ(Le(z, 26, 2), 10u);
    EXPECT_EQ(Le(z, 28, 2), 0u);
    EXPECT_EQ(z.substr(30, 10), "report.pdf");
    EXPECT_EQ(z.substr(40, 5), "hello");
    const std::uint32_t crc = Crc32Update(0, Bytes("hello"));
    EXPECT_EQ(crc, 0x3610A686u);
    EXPECT_EQ(Le(z, 45, 4), 0x08074B50u);
    EXPECT_EQ(Le(z, 49, 4), crc);
    EXPECT_EQ(Le(z, 53, 4), 5u);
    EXPECT_EQ(Le(z, 57, 4), 5u);

    // The folder: flags 0x0800, no descriptor.
    const std::size_t folder = 61;
    EXPECT_EQ(Le(z, folder, 4), 0x04034B50u);
    EXPECT_EQ(Le(z, folder + 6, 2), 0x0800u);
    EXPECT_EQ(z.substr(folder + 30, 6), "empty/");

    // Central directory.
    const std::size_t central = folder + 36;
    EXPECT_EQ(Le(z, central, 4), 0x02014B50u);
    EXPECT_EQ(Le(z, central + 4, 2), 45u);
    EXPECT_EQ(Le(z, central + 6, 2), 20u);
    EXPECT_EQ(Le(z, central + 8, 2), 0x0808u);
    EXPECT_EQ(Le(z, central + 16, 4), crc);
    EXPECT_EQ(Le(z, central + 20, 4), 5u);
    EXPECT_EQ(Le(z, central + 24, 4), 5u);
    EXPECT_EQ(Le(z, central + 30, 2), 0u);
    EXPECT_EQ(Le(z, central + 38, 4), 0x20u);
    EXPECT_EQ(Le(z, central + 42, 4), 0u);
    const std::size_t central2 = central + 46 + 10;
    EXPECT_EQ(Le(z, central2 + 8, 2), 0x0800u);
    EXPECT_EQ(Le(z, central2 + 38, 4), 0x10u);
    EXPECT_EQ(Le(z, central2 + 42, 4), folder);
    const std::size_t end = central2 + 46 + 6;
    EXPECT_EQ(Le(z, end, 4), 0x06054B50u);
    EXPECT_EQ(Le(z, end + 8, 2), 2u);
    EXPECT_EQ(Le(z, end + 10, 2), 2u);
    EXPECT_EQ(Le(z, end + 12, 4), end - central);
    EXPECT_EQ(Le(z, end + 16, 4), central);
    EXPECT_EQ(z.size(), end + 22);
    EXPECT_EQ(writer.Total(), z.size());
}

// Writes `size` zero bytes into the open entry in large pieces.
bool WriteZeros(ZipWriter& writer, std::uint64_t size) {
    static const std::vector<std::byte> zeros(1 << 22);
    while (size > 0) {
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, zeros.size()));
        if (!writer.Write(std::span(zeros).first(piece)))
            return false;
        size -= piece;
    }
    return true;
}

TEST_F(ZipWriterTest, Zip64ExactlyFromFourGibibytesLessOne) {
    Capture out;
    ZipWriter writer(out.Output());
    // One byte under the limit: classic records throughout.
    ASSERT_TRUE(writer.BeginFile("small", kStamp, 0xFFFFFFFEu));
    ASSERT_TRUE(WriteZeros(writer, 0xFFFFFFFEu));
    ASSERT_TRUE(writer.EndFile());
    // At the limit: ZIP64 local header and descriptor; its offset is large.
    ASSERT_TRUE(writer.BeginFile("large", kStamp, 0xFFFFFFFFu));
    ASSERT_TRUE(WriteZeros(writer, 0xFFFFFFFFu));
    ASSERT_TRUE(writer.EndFile());
    ASSERT_TRUE(writer.Finish());
    const std::string& z = out.bytes; // records only; the data was counted

    EXPECT_EQ(Le(z, 4, 2), 20u);
    EXPECT_EQ(Le(z, 18, 4), 0u);
    EXPECT_EQ(Le(z, 28, 2), 0u);
    const std::size_t descriptor1 = 35;
    EXPECT_EQ(Le(z, descriptor1, 4), 0x08074B50u);
    EXPECT_EQ(Le(z, descriptor1 + 8, 4), 0xFFFFFFFEu);
    const std::size_t local2 = descriptor1 + 16;
    EXPECT_EQ(Le(z, local2 + 4, 2), 45u);
    EXPECT_EQ(Le(z, local2 + 18, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le(z, local2 + 22, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le(z, local2 + 28, 2), 20u);
    EXPECT_EQ(Le(z, local2 + 35, 2), 1u);
    EXPECT_EQ(Le(z, local2 + 37, 2), 16u);
    EXPECT_EQ(Le(z, local2 + 39, 8), 0u);
    EXPECT_EQ(Le(z, local2 + 47, 8), 0u);
    const std::size_t descriptor2 = local2 + 55;
    EXPECT_EQ(Le(z, descriptor2, 4), 0x08074B50u);
    EXPECT_EQ(Le(z, descriptor2 + 8, 8), 0xFFFFFFFFu);
    EXPECT_EQ(Le(z, descriptor2 + 16, 8), 0xFFFFFFFFu);
    const std::uint64_t offset2 = 30 + 5 + 0xFFFFFFFEull + 16;

    // Central headers: the small one classic, the large one with size and
    // offset in its ZIP64 extra field.
    const std::size_t central1 = descriptor2 + 24;
    EXPECT_EQ(Le(z, central1 + 6, 2), 20u);
    EXPECT_EQ(Le(z, central1 + 20, 4), 0xFFFFFFFEu);
    EXPECT_EQ(Le(z, central1 + 30, 2), 0u);
    const std::size_t central2 = central1 + 46 + 5;
    EXPECT_EQ(Le(z, central2 + 6, 2), 45u);
    EXPECT_EQ(Le(z, central2 + 20, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le(z, central2 + 24, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le(z, central2 + 30, 2), 28u);
    EXPECT_EQ(Le(z, central2 + 42, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le(z, central2 + 51, 2), 1u);
    EXPECT_EQ(Le(z, central2 + 53, 2), 24u);
    EXPECT_EQ(Le(z, central2 + 55, 8), 0xFFFFFFFFu);
    EXPECT_EQ(Le(z, central2 + 63, 8), 0xFFFFFFFFu);
    EXPECT_EQ(Le(z, central2 + 71, 8), offset2);

    // The directory starts beyond 4 GiB: ZIP64 end record and locator.
    const std::uint64_t directoryOffset = offset2 + 55 + 0xFFFFFFFFull + 24;
    const std::size_t end64 = central2 + 79;
    EXPECT_EQ(Le(z, end64, 4), 0x06064B50u);
    EXPECT_EQ(Le(z, end64 + 4, 8), 44u);
    EXPECT_EQ(Le(z, end64 + 12, 2), 45u);
    EXPECT_EQ(Le(z, end64 + 14, 2), 45u);
    EXPECT_EQ(Le(z, end64 + 24, 8), 2u);
    EXPECT_EQ(Le(z, end64 + 32, 8), 2u);
    EXPECT_EQ(Le(z, end64 + 40, 8), end64 - central1);
    EXPECT_EQ(Le(z, end64 + 48, 8), directoryOffset);
    const std::size_t locator = end64 + 56;
    EXPECT_EQ(Le(z, locator, 4), 0x07064B50u);
    EXPECT_EQ(Le(z, locator + 8, 8), directoryOffset + (end64 - central1));
    EXPECT_EQ(Le(z, locator + 16, 4), 1u);
    const std::size_t end = locator + 20;
    EXPECT_EQ(Le(z, end + 8, 2), 0xFFFFu);
    EXPECT_EQ(Le(z, end + 10, 2), 0xFFFFu);
    EXPECT_EQ(Le(z, end + 12, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le(z, end + 16, 4), 0xFFFFFFFFu);
    EXPECT_EQ(writer.Total(), directoryOffset + (end + 22 - central1));
}

TEST_F(ZipWriterTest, AClassicEntryRefusesToGrowToTheLimit) {
    Capture out;
    ZipWriter writer(out.Output());
    ASSERT_TRUE(writer.BeginFile("grows", kStamp, 10));
    ASSERT_TRUE(WriteZeros(writer, 0xFFFFFFFEu));
    EXPECT_FALSE(writer.Write(Bytes("x")));
    EXPECT_EQ(writer.Entries().back().size, 0xFFFFFFFEu);
}

TEST_F(ZipWriterTest, EntryCountDecidesTheEndRecords) {
    for (const std::uint64_t count : {65'534ull, 65'535ull}) {
        SCOPED_TRACE(count);
        Capture out;
        ZipWriter writer(out.Output());
        for (std::uint64_t i = 0; i < count; ++i)
            ASSERT_TRUE(writer.AddDirectory(std::to_string(i), kStamp));
        ASSERT_TRUE(writer.Finish());
        const std::string& z = out.bytes;
        const std::size_t end = z.size() - 22;
        EXPECT_EQ(Le(z, end, 4), 0x06054B50u);
        const bool zip64 = count >= 65'535;
        EXPECT_EQ(Le(z, end + 10, 2), zip64 ? 0xFFFFu : count);
        EXPECT_EQ(Le(z, end - 20, 4) == 0x07064B50u, zip64);
        if (zip64) {
            EXPECT_EQ(Le(z, end - 76 + 32, 8), count);
        }
    }
}

TEST_F(ZipWriterTest, OperationsOutOfOrderOrOverLimitsFail) {
    Capture out;
    ZipWriter writer(out.Output());
    EXPECT_FALSE(writer.Write(Bytes("x")));
    EXPECT_FALSE(writer.EndFile());
    EXPECT_FALSE(writer.BeginFile("", kStamp, 0));
    EXPECT_FALSE(writer.BeginFile(std::string(65'536, 'n'), kStamp, 0));
    EXPECT_FALSE(writer.AddDirectory(std::string(65'535, 'n'), kStamp));
    EXPECT_TRUE(writer.AddDirectory(std::string(65'534, 'n'), kStamp));
    ASSERT_TRUE(writer.BeginFile(std::string(65'535, 'n'), kStamp, 0));
    EXPECT_FALSE(writer.BeginFile("again", kStamp, 0));
    EXPECT_FALSE(writer.AddDirectory("folder", kStamp));
    EXPECT_FALSE(writer.Finish());
    ASSERT_TRUE(writer.EndFile());
    ASSERT_TRUE(writer.Finish());
    EXPECT_FALSE(writer.Finish());
    EXPECT_FALSE(writer.BeginFile("late", kStamp, 0));
    EXPECT_FALSE(writer.AddDirectory("late", kStamp));
    EXPECT_EQ(writer.Entries().size(), 2u);
}

TEST_F(ZipWriterTest, AFailedOutputStopsEverything) {
    Capture out;
    out.failAtCall = 1; // the file's data
    ZipWriter writer(out.Output());
    ASSERT_TRUE(writer.BeginFile("a", kStamp, 3));
    EXPECT_FALSE(writer.Write(Bytes("abc")));
    EXPECT_TRUE(writer.HasFailed());
    EXPECT_FALSE(writer.Write(Bytes("d")));
    EXPECT_FALSE(writer.EndFile());
    EXPECT_FALSE(writer.Finish());
    EXPECT_EQ(out.calls, 2);
    EXPECT_EQ(writer.Total(), 31u);
}

// Data read from a file leaves through the file output as a range of that
// file, not as bytes; the CRC, the sizes and the offsets still count it, and
// a failed file output stops the archive like a failed byte output.
TEST_F(ZipWriterTest, DataFromAFileLeavesAsARangeOfIt) {
    struct Range {
        int fd;
        std::uint64_t offset;
        std::uint64_t length;
    };
    for (const bool fail : {false, true}) {
        Capture out;
        std::vector<Range> ranges;
        ZipWriter writer(out.Output(), [&](int fd, std::uint64_t offset, std::uint64_t length) {
            ranges.push_back({fd, offset, length});
            return !fail;
        });
        ASSERT_TRUE(writer.BeginFile("f", kStamp, 8));
        ASSERT_TRUE(writer.Write(Bytes("ab")));
        const bool sent = writer.WriteFromFile(Bytes("cdefgh"), 7, 2);
        ASSERT_EQ(ranges.size(), 1u);
        EXPECT_EQ(ranges[0].fd, 7);
        EXPECT_EQ(ranges[0].offset, 2u);
        EXPECT_EQ(ranges[0].length, 6u);
        if (fail) {
            EXPECT_FALSE(sent);
            EXPECT_TRUE(writer.HasFailed());
            EXPECT_FALSE(writer.EndFile());
            EXPECT_EQ(writer.Total(), 31u + 2u);
            continue;
        }
        ASSERT_TRUE(sent);
        ASSERT_TRUE(writer.EndFile());
        // Header (31) and "ab" were bytes; the range counts toward the total;
        // the descriptor follows with the CRC of all eight bytes.
        const std::string& z = out.bytes;
        EXPECT_EQ(z.substr(31, 2), "ab");
        EXPECT_EQ(Le(z, 33, 4), 0x08074B50u);
        EXPECT_EQ(Le(z, 37, 4), Crc32Update(0, Bytes("abcdefgh")));
        EXPECT_EQ(Le(z, 41, 4), 8u);
        EXPECT_EQ(writer.Total(), 31u + 8u + 16u);
        EXPECT_EQ(writer.Entries().back().size, 8u);
    }

    // Without a file output the bytes themselves go out.
    Capture out;
    ZipWriter writer(out.Output());
    ASSERT_TRUE(writer.BeginFile("f", kStamp, 3));
    ASSERT_TRUE(writer.WriteFromFile(Bytes("xyz"), 7, 0));
    EXPECT_EQ(out.bytes.substr(31, 3), "xyz");
}

TEST_F(ZipWriterTest, DosDatesFromLocalTime) {
    auto at = [](int year, int month, int day, int hour, int minute, int second) {
        std::tm fields{};
        fields.tm_year = year - 1900;
        fields.tm_mon = month - 1;
        fields.tm_mday = day;
        fields.tm_hour = hour;
        fields.tm_min = minute;
        fields.tm_sec = second;
        const std::int64_t seconds = ::timegm(&fields);
        return FileTimeFromUnix(seconds, 0);
    };
    const struct {
        const char* name;
        FileTime time;
        std::uint16_t dosTime;
        std::uint16_t dosDate;
    } cases[] = {
        {"1975 is before DOS time", at(1975, 6, 1, 12, 0, 0), 0, 0x21},
        {"first day", at(1980, 1, 1, 0, 0, 0), 0, 0x21},
        {"odd seconds round down", at(2024, 3, 9, 13, 45, 31), 13 * 2048 + 45 * 32 + 15,
         (44 << 9) | (3 << 5) | 9},
        {"last representable year", at(2107, 12, 31, 23, 59, 58), 23 * 2048 + 59 * 32 + 29,
         (127 << 9) | (12 << 5) | 31},
        {"2200 is stored as 2107", at(2200, 7, 4, 1, 2, 4), 1 * 2048 + 2 * 32 + 2,
         (127 << 9) | (7 << 5) | 4},
        {"before 1601", 0, 0, 0x21},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const DosDateTime dos = ToDosDateTime(row.time);
        EXPECT_EQ(dos.time, row.dosTime);
        EXPECT_EQ(dos.date, row.dosDate);
    }
    // Local time, not UTC: 23:30 UTC on 31 December is the next year in Seoul.
    ::setenv("TZ", "Asia/Seoul", 1);
    ::tzset();
    const DosDateTime seoul = ToDosDateTime(at(2023, 12, 31, 23, 30, 0));
    EXPECT_EQ(seoul.date, (44 << 9) | (1 << 5) | 1);
    EXPECT_EQ(seoul.time, 8 * 2048 + 30 * 32);
}

} // namespace
} // namespace Velto::Corvane
