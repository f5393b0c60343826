#include "config/access_log.h"
#include "config/append_only_file.h"
#include "config/log_text_escape.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace Velto::Corvane {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.emplace_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + separator.size());
    }
}

// Runs the test in a fixed zone nine hours east of UTC, so local and UTC dates differ.
class AccessLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        m_oldTz = tz ? std::optional<std::string>(tz) : std::nullopt;
        ::setenv("TZ", "KST-9", 1);
        ::tzset();
        std::string pattern = (fs::temp_directory_path() / "velto-log-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_folder = m_root + "/state/logs";
    }
    void TearDown() override {
        if (m_oldTz)
            ::setenv("TZ", m_oldTz->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        fs::remove_all(m_root);
    }

    // The file time of a local calendar time in the test's zone.
    static FileTime Local(int year, int month, int day, int hour, int minute, int second) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        t.tm_isdst = -1;
        return FileTimeFromUnix(std::mktime(&t), 0);
    }

    static AccessLogEntry Entry(FileTime time, std::string action, std::u16string detail = u"") {
        AccessLogEntry e;
        e.time = time;
        e.address = "192.168.0.7";
        e.action = std::move(action);
        e.detail = std::move(detail);
        e.result = 200;
        return e;
    }

    std::vector<std::string> Lines(const std::string& fileName) const {
        std::string text = ReadBytes(fs::path(m_folder) / fileName);
        EXPECT_TRUE(text.ends_with("\r\n"));
        text.resize(text.size() - 2);
        return Split(text, "\r\n");
    }

    std::string m_root;
    std::string m_folder;
    std::optional<std::string> m_oldTz;
};

TEST_F(AccessLogTest, WritesDailyFilesWithSevenFields) {
    AccessLog log(m_folder);
    AccessLogEntry late = Entry(Local(2024, 1, 31, 23, 59, 59), "download", u"/Music/a b.mp3");
    late.user = u"김철수";
    late.size = 18446744073709551615ULL;
    log.Append(late);
    AccessLogEntry odd = Entry(Local(2024, 2, 1, 0, 0, 0), "rename", u"/S/x\ty\nz\r -> w");
    odd.address = "::1\t";
    odd.result = -2147467259;
    log.Append(odd);
    log.Flush();

    EXPECT_EQ(Lines("access-20240131.log"),
              std::vector<std::string>{"2024-01-31 23:59:59\t192.168.0.7\t김철수\tdownload\t/Music/"
                                       "a b.mp3\t200\t18446744073709551615"});
    EXPECT_EQ(Lines("access-20240201.log"),
              std::vector<std::string>{
                  "2024-02-01 00:00:00\t::1 \t\trename\t/S/x y z  -> w\t-2147467259\t0"});
    EXPECT_EQ(Split(Lines("access-20240201.log")[0], "\t").size(), 7u);

    struct stat st {};
    ASSERT_EQ(::stat((m_folder + "/access-20240131.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The folder removed while running is made again by the next entry.
    fs::remove_all(m_root + "/state");
    log.Append(Entry(Local(2024, 2, 1, 9, 0, 0), "zip"));
    log.Flush();
    EXPECT_EQ(Lines("access-20240201.log").size(), 1u);
    EXPECT_EQ(log.Snapshot().size(), 3u);
}

// Lines wait in memory for one write of many, but reach the file on their
// own shortly after, and none is lost when the log goes away.
TEST_F(AccessLogTest, GatheredLinesReachTheFileSoonAndAtTheEnd) {
    const FileTime time = Local(2024, 4, 1, 10, 0, 0);
    const fs::path path = fs::path(m_folder) / "access-20240401.log";
    const std::size_t lineBytes = FormatAccessLogLine(Entry(time, "download")).size() + 2;
    const std::size_t bound = AccessLog::kFlushBytes / lineBytes + 1;
    {
        AccessLog log(m_folder);
        log.Append(Entry(time, "login"));
        // Written by the log's own writer, with no more appends to prompt it.
        for (int i = 0; i < 100 && ReadBytes(path).empty(); ++i)
            std::this_thread::sleep_for(AccessLog::kFlushInterval / 5);
        EXPECT_EQ(Lines("access-20240401.log").size(), 1u);

        // A burst twice the gathering bound is written as it comes: at most
        // one bound's worth still waits at its end.
        for (std::size_t i = 0; i < 2 * bound; ++i)
            log.Append(Entry(time, "download"));
        EXPECT_GT(Lines("access-20240401.log").size(), bound);
        for (int i = 0; i < 10; ++i)
            log.Append(Entry(time, "upload"));
    }
    const auto lines = Lines("access-20240401.log");
    EXPECT_EQ(lines.size(), 1 + 2 * bound + 10);
    EXPECT_NE(lines.back().find("\tupload\t"), std::string::npos) << lines.back();
}

TEST_F(AccessLogTest, KeepsTheLatestThousandInMemory) {
    AccessLog log(m_folder);
    const FileTime base = Local(2024, 3, 1, 12, 0, 0);
    for (int i = 0; i <= 1000; ++i) {
        AccessLogEntry e = Entry(base, "download");
        e.size = static_cast<std::uint64_t>(i);
        log.Append(std::move(e));
    }
    auto entries = log.Snapshot();
    ASSERT_EQ(entries.size(), AccessLog::kMaxEntries);
    EXPECT_EQ(entries.front().size, 1u); // entry 0 was dropped
    EXPECT_EQ(entries.back().size, 1000u);

    log.Clear();
    EXPECT_TRUE(log.Snapshot().empty());
    log.Flush();
    EXPECT_EQ(Lines("access-20240301.log").size(), 1001u); // the file keeps everything
}

TEST_F(AccessLogTest, TellsTheObserverOutsideTheLock) {
    AccessLog log(m_folder);
    std::vector<std::string> seen;
    log.SetOnAppend([&](const AccessLogEntry& e) {
        seen.push_back(e.action);
        EXPECT_NE(e.time, 0u);                // "now" was filled in
        EXPECT_FALSE(log.Snapshot().empty()); // calling back in must not deadlock
    });
    const FileTime before = NowFileTime();
    log.Append(Entry(0, "login"));
    log.Append(Entry(0, "upload"));
    EXPECT_EQ(seen, (std::vector<std::string>{"login", "upload"}));
    EXPECT_GE(log.Snapshot().front().time, before);
    log.SetOnAppend(nullptr);
    log.Append(Entry(0, "delete"));
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(AccessLogTest, MemoryOnlyWithoutAFolder) {
    AccessLog log("");
    log.Append(Entry(0, "login"));
    EXPECT_EQ(log.Snapshot().size(), 1u);
    log.RemoveOldFiles();
    EXPECT_FALSE(fs::exists(m_folder));
}

TEST_F(AccessLogTest, ConcurrentLinesStayWhole) {
    AccessLog log(m_folder);
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    const FileTime time = Local(2024, 5, 5, 5, 5, 5);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                AccessLogEntry e = Entry(time, "download", std::u16string(100 + t, u'a' + t));
                e.size = static_cast<std::uint64_t>(i);
                log.Append(std::move(e));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    log.Flush();
    const auto lines = Lines("access-20240505.log");
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kPerThread));
    ASSERT_EQ(log.Snapshot().size(), lines.size());
    // Every line whole, and each thread's lines in the order it appended them.
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines) {
        const auto fields = Split(line, "\t");
        ASSERT_EQ(fields.size(), 7u) << line;
        const int t = fields[4][0] - 'a';
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_EQ(fields[4], std::string(100 + static_cast<std::size_t>(t), 'a' + t));
        EXPECT_EQ(fields[6], std::to_string(next[t]++)) << line;
    }
}

// The day's file stays open between records; whatever happens to it
// underneath, records go on landing in a file at the day's path.
TEST_F(AccessLogTest, FileRemovedOrMovedUnderneathIsMadeAgain) {
    AccessLog log(m_folder);
    const FileTime time = Local(2024, 6, 1, 8, 0, 0);
    const std::string path = m_folder + "/access-20240601.log";
    log.Append(Entry(time, "login"));
    log.Flush();
    ASSERT_EQ(Lines("access-20240601.log").size(), 1u);

    fs::remove(path);
    log.Append(Entry(time, "upload"));
    log.Flush();
    EXPECT_EQ(Lines("access-20240601.log").size(), 1u);

    // A move is noticed by the first record after the next look at the path.
    fs::rename(path, m_folder + "/rotated.log");
    std::this_thread::sleep_for(AppendOnlyFile::kPathCheckInterval + std::chrono::milliseconds(50));
    log.Append(Entry(time, "delete"));
    log.Flush();
    const auto lines = Lines("access-20240601.log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\tdelete\t"), std::string::npos) << lines[0];
    EXPECT_EQ(ReadBytes(m_folder + "/rotated.log").find("delete"), std::string::npos);

    // A file put in its place by someone else is appended to, not replaced.
    fs::remove(path);
    std::ofstream(path, std::ios::binary) << "kept\r\n";
    log.Append(Entry(time, "zip"));
    log.Flush();
    EXPECT_EQ(Lines("access-20240601.log").size(), 2u);
    EXPECT_EQ(Lines("access-20240601.log")[0], "kept");
}

TEST(LogTextEscape, ControlsAndFormatCharactersBecomeVisible) {
    struct Case {
        const char* name;
        std::string_view text;
        std::string_view escaped;
    };
    const Case cases[] = {
        {"plain ASCII", "/Music/a b.mp3", "/Music/a b.mp3"},
        {"Korean and emoji stay", "김철수 \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9",
         "김철수 \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9"},
        {"backslash stays", "a\\x1b", "a\\x1b"},
        {"record separators become spaces", "a\tb\nc\rd", "a b c d"},
        {"ESC and BEL", "\x1b[2K\x1b]0;pwned\x07", "\\x1b[2K\\x1b]0;pwned\\x07"},
        {"NUL, backspace, DEL", std::string_view{"a\0b\x08\x7f", 5}, "a\\x00b\\x08\\x7f"},
        {"C1 CSI and NEL",
         "\xC2\x9B"
         "31m\xC2\x85",
         "\\u009b31m\\u0085"},
        {"line and paragraph separators",
         "a\xE2\x80\xA8"
         "b\xE2\x80\xA9",
         "a\\u2028b\\u2029"},
        {"bidi override and isolates", "\xE2\x80\xAEtxt.exe\xE2\x81\xA6\xE2\x81\xA9",
         "\\u202etxt.exe\\u2066\\u2069"},
        {"bidi marks", "\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C", "\\u200e\\u200f\\u061c"},
        {"invisible characters", "ad\xE2\x80\x8Bmin\xEF\xBB\xBF\xC2\xAD",
         "ad\\u200bmin\\ufeff\\u00ad"},
        {"tag characters", "\xF3\xA0\x80\x81\xF3\xA0\x81\xA1", "\\U000e0001\\U000e0061"},
        {"invalid bytes", "\xff\xfe\xC0\xAFok\xE2\x80", "\\xff\\xfe\\xc0\\xafok\\xe2\\x80"},
        {"encoded surrogate", "\xED\xA0\x80", "\\xed\\xa0\\x80"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EscapeLogText(c.text), c.escaped) << c.name;
}

TEST(LogTextEscape, LongFieldsAreCutBetweenCharacters) {
    struct Case {
        const char* name;
        std::string text;
        std::size_t limit;
        std::string expected;
    };
    const std::string mark{kLogTruncationMark};
    const std::size_t keep = 20 - mark.size();
    const Case cases[] = {
        {"exactly at the limit", std::string(20, 'x'), 20, std::string(20, 'x')},
        {"one byte over", std::string(21, 'x'), 20, std::string(keep, 'x') + mark},
        {"escape not split", std::string(keep - 2, 'x') + std::string(5, '\x1b'), 20,
         std::string(keep - 2, 'x') + mark},
        {"character not split", std::string(keep - 1, 'x') + "한국어" + std::string(9, 'y'), 20,
         std::string(keep - 1, 'x') + mark},
        {"limit below the mark", "abcdef", 3, ""},
    };
    for (const Case& c : cases) {
        const std::string escaped = EscapeLogText(c.text, c.limit);
        EXPECT_EQ(escaped, c.expected) << c.name;
        EXPECT_LE(escaped.size(), c.limit) << c.name;
    }
    // The default limit holds for a name made of nothing but escapes.
    const std::string flood(kMaxLogFieldBytes, '\x1b');
    const std::string escaped = EscapeLogText(flood);
    EXPECT_LE(escaped.size(), kMaxLogFieldBytes);
    EXPECT_TRUE(escaped.ends_with(kLogTruncationMark));
}

// What a visitor typed reaches the file escaped, and a hostile name cannot
// add, erase or reorder lines.
TEST_F(AccessLogTest, HostileNamesAreEscapedInTheFile) {
    AccessLog log(m_folder);
    AccessLogEntry e =
        Entry(Local(2024, 7, 1, 10, 0, 0), "loginFailed",
              u"adm\u001b[1A\u001b[2K\u0007\u009b\u2028in\u202e" + std::u16string(20000, u'x'));
    e.result = 401;
    log.Append(e);
    log.Flush();
    const auto lines = Lines("access-20240701.log");
    ASSERT_EQ(lines.size(), 1u);
    const auto fields = Split(lines[0], "\t");
    ASSERT_EQ(fields.size(), 7u);
    EXPECT_TRUE(fields[4].starts_with("adm\\x1b[1A\\x1b[2K\\x07\\u009b\\u2028in\\u202exxx"))
        << fields[4].substr(0, 80);
    EXPECT_EQ(fields[4].size(), kMaxLogFieldBytes);
    EXPECT_TRUE(fields[4].ends_with(kLogTruncationMark));
    EXPECT_EQ(fields[5], "401");
    EXPECT_EQ(FormatAccessLogLine(e), lines[0]);
}

TEST_F(AccessLogTest, SweepDeletesOnlyOldDailyFiles) {
    fs::create_directories(m_folder);
    const auto now = std::time(nullptr);
    constexpr std::int64_t kDay = 86400;
    struct Item {
        std::string name;
        std::int64_t age; // seconds before now; negative lies in the future
        bool directory;
        bool remains;
    };
    const Item items[] = {
        {"access-20200101.log", 31 * kDay, false, false},
        {"access-.log", 40 * kDay, false, false},
        {"access-20200102.log", 29 * kDay, false, true},
        {"access-20990101.log", -5 * kDay, false, true},
        {"Access-20200101.log", 31 * kDay, false, true},
        {"access-1.txt", 31 * kDay, false, true},
        {"access-20200101.LOG", 31 * kDay, false, true},
        {"access.log", 31 * kDay, false, true},
        {"access-old.log", 31 * kDay, true, true},
    };
    for (const auto& item : items) {
        SCOPED_TRACE(item.name);
        const std::string path = m_folder + "/" + item.name;
        if (item.directory)
            fs::create_directory(path);
        else
            std::ofstream(path) << "x\r\n";
        const timespec times[2] = {{now - item.age, 0}, {now - item.age, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    AccessLog(m_folder).RemoveOldFiles();
    for (const auto& item : items)
        EXPECT_EQ(fs::exists(m_folder + "/" + item.name), item.remains) << item.name;

    // A missing folder ends the sweep quietly.
    AccessLog(m_root + "/nowhere").RemoveOldFiles();
    EXPECT_FALSE(fs::exists(m_root + "/nowhere"));
}

} // namespace
} // namespace Velto::Corvane
