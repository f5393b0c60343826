// The desktop program's process helpers against real files, a real session bus
// and stand-in programs: the instance name, the value formats, start at
// sign-in, the trace file and the shell actions.

#include "app/desktop/settings/autostart.h"
#include "app/desktop/shell/instance_name.h"
#include "app/desktop/shell/shell_actions.h"
#include "app/run/environment_settings.h"
#include "app/run/trace_file.h"
#include "app/texts/value_format.h"
#include "base/clock.h"
#include "base/environment_variable.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

namespace App {
namespace {

using Velto::Corvane::Testing::TempHome;
using Velto::Testing::ChildProcess;
using Velto::Testing::RunCommand;
namespace fs = std::filesystem;

// Generous: a busy machine may take long to start a program or a bus.
constexpr int kWaitLimitMs = 30000;
constexpr const char* kSystemPython = "/usr/bin/python3";

std::string ReadFile(const std::string& path) {
    std::ifstream in{path, std::ios::binary};
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in{text};
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The file's content once it exists (writers rename it into place whole).
std::optional<std::string> WaitForFile(const std::string& path, int limitMs = kWaitLimitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(path))
            return ReadFile(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// An xdg-open first on PATH that writes its arguments, one a line, and what
// its standard input is, to a file the test reads.
class StubOpener {
public:
    explicit StubOpener(TempHome& home) : m_record(home.root + "/opened") {
        const std::string bin = home.root + "/bin";
        fs::create_directories(bin);
        std::ofstream{bin + "/xdg-open"}
            << "#!/bin/sh\n"
               "{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done\n"
               "  printf 'stdin=%s\\n' \"$(readlink /proc/self/fd/0)\"\n"
               "} > '"
            << m_record << ".tmp' && mv '" << m_record << ".tmp' '" << m_record << "'\n";
        fs::permissions(bin + "/xdg-open", fs::perms::owner_all);
        const char* path = std::getenv("PATH");
        home.Set("PATH", bin + ":" + (path ? path : "/usr/bin:/bin"));
    }

    // The arguments of the next run (and its input), consumed.
    std::vector<std::string> Next() {
        const auto content = WaitForFile(m_record);
        if (!content)
            return {};
        fs::remove(m_record);
        return Lines(*content);
    }
    bool Ran() const { return fs::exists(m_record); }

private:
    std::string m_record;
};

EnvironmentSettings Normal() {
    return EnvironmentSettings{};
}

TEST(InstanceNameTest, SuffixFollowsTheVariable) {
    TempHome home;
    std::string hangul;
    for (int i = 0; i < 400; ++i)
        hangul += "\xEA\xB0\x80"; // 가: three bytes, one character
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "VeltoUtility.VeltoCorvane"},
        {"2", "VeltoUtility.VeltoCorvane.2"},
        {"test.a", "VeltoUtility.VeltoCorvane.test.a"},
        {std::string(Velto::kMaxVariableLength, 'x'), "VeltoUtility.VeltoCorvane"},
        // 1200 bytes, but 400 characters: under the limit.
        {hangul, "VeltoUtility.VeltoCorvane." + hangul},
    };
    for (const auto& [value, name] : cases) {
        SCOPED_TRACE(value.substr(0, 12));
        home.Set("VELTO_CORVANE_INSTANCE", value);
        EXPECT_EQ(InstanceName(ReadEnvironmentSettings()), name);
    }
    home.Unset("VELTO_CORVANE_INSTANCE");
    EXPECT_EQ(InstanceName(ReadEnvironmentSettings()), "VeltoUtility.VeltoCorvane");
}

TEST(ValueFormatTest, Sizes) {
    const std::vector<std::pair<std::uint64_t, std::string>> cases = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1.0 KB"},
        {1536, "1.5 KB"},
        {102399, "100.0 KB"}, // 99.999 rounds up but was below 100
        {102400, "100 KB"},
        {1048575, "1024 KB"},
        {1048576, "1.0 MB"},
        {123456789, "118 MB"},
        {1099511627776, "1.0 TB"},
        {std::uint64_t{1} << 50, "1024 TB"},
        {~std::uint64_t{0}, "16777216 TB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(FormatSize(bytes), text) << bytes;

    // The locale's decimal mark never shows.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        EXPECT_EQ(FormatSize(1536), "1.5 KB");
        std::setlocale(LC_NUMERIC, "C");
    }
}

TEST(ValueFormatTest, LocalTimesAndCodes) {
    TempHome home;
    const Velto::FileTime march = Velto::FileTimeFromUnix(1709618828, 0); // 2024-03-05 06:07:08 UTC
    home.Set("TZ", "UTC0");
    ::tzset();
    EXPECT_EQ(FormatLocalFileTime(march), "2024-03-05 06:07:08");
    EXPECT_EQ(FormatLocalFileTime(0), "1601-01-01 00:00:00");
    EXPECT_EQ(FormatLocalFileTime(~Velto::FileTime{0}), "");
    home.Set("TZ", "KST-9");
    ::tzset();
    EXPECT_EQ(FormatLocalFileTime(march), "2024-03-05 15:07:08");
    home.Unset("TZ");
    ::tzset();

    EXPECT_EQ(FormatHex32(0), "00000000");
    EXPECT_EQ(FormatHex32(0x80070002u), "80070002");
    EXPECT_EQ(FormatHex32(0xabcdefu), "00ABCDEF");
}

TEST(AutostartTest, EntryIsWrittenReadAndRemoved) {
    TempHome home;
    const std::string exe = home.root + "/opt/Velto Corvane/veltocorvane";
    const Autostart autostart{Normal(), exe};
    const std::string entry = home.root + "/config/autostart/VeltoCorvane.desktop";
    EXPECT_EQ(autostart.EntryPath(), entry);
    EXPECT_FALSE(autostart.IsEnabled());
    EXPECT_TRUE(autostart.Set(false)); // never set: nothing to remove

    ASSERT_TRUE(autostart.Set(true));
    EXPECT_TRUE(autostart.IsEnabled());
    EXPECT_EQ(ReadFile(entry), "[Desktop Entry]\n"
                               "Type=Application\n"
                               "Name=VeltoCorvane\n"
                               "Exec=\"" +
                                   exe +
                                   "\" --tray\n"
                                   "Terminal=false\n"
                                   "X-GNOME-Autostart-enabled=true\n");
    ASSERT_TRUE(autostart.Set(true)); // replaced in place
    EXPECT_EQ(fs::directory_iterator(home.root + "/config/autostart")->path(), entry)
        << "no temporary file is left beside it";

    // A session's own settings tool hides an entry to switch it off.
    const std::vector<std::pair<std::string, bool>> edited = {
        {"[Desktop Entry]\nExec=x\nHidden=true\n", false},
        {"[Desktop Entry]\nHidden = true\r\n", false},
        {"[Desktop Entry]\nHidden=false\n", true},
        {"[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n", true},
    };
    for (const auto& [content, enabled] : edited) {
        std::ofstream{entry, std::ios::trunc} << content;
        EXPECT_EQ(autostart.IsEnabled(), enabled) << content;
    }

    ASSERT_TRUE(autostart.Set(false));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(autostart.IsEnabled());
    EXPECT_TRUE(autostart.Set(false));
}

TEST(AutostartTest, ExecQuoting) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"/usr/bin/veltocorvane", "\"/usr/bin/veltocorvane\" --tray"},
        {"/opt/a b/c", "\"/opt/a b/c\" --tray"},
        {"/x\"y", "\"/x\\\\\"y\" --tray"},
        {"/p$q`r\\s%t", "\"/p\\\\$q\\\\`r\\\\\\\\s%%t\" --tray"},
        {"/홈/프로그램", "\"/홈/프로그램\" --tray"},
        {"/a\nb", std::nullopt},
        {"/a\tb", std::nullopt},
        {"/a\x7f", std::nullopt},
        {"/bad\xff", std::nullopt},
    };
    for (const auto& [path, exec] : cases)
        EXPECT_EQ(DesktopEntryExec(path), exec) << path;
    EXPECT_EQ(AutostartCommand("/opt/a b/c"), "\"/opt/a b/c\" --tray");
}

// The entry as a desktop session reads and starts it (GLib's desktop-entry
// launcher), for a program whose path needs every escape.
TEST(AutostartTest, SessionStartsTheProgramWithTray) {
    TempHome home;
    home.Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.root + "/no-bus");
    const std::string folder = home.root + "/we ird \"q\" $HOME `id` \\back";
    fs::create_directories(folder);
    const std::string exe = folder + "/velto corvane";
    const std::string record = home.root + "/started";
    std::ofstream{exe} << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" << record << ".tmp' && mv '"
                       << record << ".tmp' '" << record << "'\n";
    fs::permissions(exe, fs::perms::owner_all);

    ASSERT_TRUE((Autostart{Normal(), exe}.Set(true)));
    const auto launched =
        RunCommand({kSystemPython, "-c",
                    "import sys\nfrom gi.repository import Gio\n"
                    "info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])\n"
                    "sys.exit(0 if info is not None and info.launch([], None) else 1)\n",
                    home.root + "/config/autostart/VeltoCorvane.desktop"});
    ASSERT_EQ(launched.exitCode, 0) << launched.output;
    const auto started = WaitForFile(record);
    ASSERT_TRUE(started);
    EXPECT_EQ(Lines(*started), (std::vector<std::string>{exe, "--tray"}));
}

TEST(AutostartTest, SelfContainedModeUsesTheMarkerFile) {
    TempHome home;
    fs::create_directories(home.root + "/portable");
    EnvironmentSettings settings;
    settings.dataFolder = home.root + "/portable/";
    const std::string exe = home.root + "/bin/velto corvane";
    const Autostart autostart{settings, exe};
    const std::string marker = home.root + "/portable/autostart";
    EXPECT_EQ(autostart.EntryPath(), marker);
    EXPECT_FALSE(autostart.IsEnabled());
    EXPECT_TRUE(autostart.Set(false));

    ASSERT_TRUE(autostart.Set(true));
    EXPECT_TRUE(autostart.IsEnabled());
    EXPECT_EQ(ReadFile(marker), "\"" + exe + "\" --tray");
    EXPECT_EQ(ModeOf(marker), 0600u);
    EXPECT_FALSE(fs::exists(home.root + "/config/autostart")) << "the session is left alone";

    ASSERT_TRUE(autostart.Set(false));
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(autostart.Set(false));
}

TEST(AutostartTest, FailuresAreReported) {
    TempHome home;
    std::ofstream{home.root + "/a-file"} << "x";
    EnvironmentSettings inFile;
    inFile.dataFolder = home.root + "/a-file";
    EXPECT_FALSE((Autostart{inFile, "/usr/bin/x"}.Set(true)));
    EXPECT_FALSE((Autostart{Normal(), ""}.Set(true)));
    EXPECT_FALSE((Autostart{Normal(), "/bad\xff"}.Set(true)));
    home.Set("XDG_CONFIG_HOME", home.root + "/a-file");
    EXPECT_FALSE((Autostart{Normal(), "/usr/bin/x"}.Set(true)));
    EXPECT_FALSE((Autostart{Normal(), "/usr/bin/x"}.IsEnabled()));
}

TEST(TraceFileTest, LinesFromManyThreadsStayWhole) {
    TempHome home;
    const std::string path = home.root + "/trace.txt";
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kLinesEach; ++i)
                AppendTraceLine(path, "writer " + std::to_string(t) + " line " + std::to_string(i) +
                                          " " + std::string(100, 'x'));
        });
    }
    for (auto& writer : writers)
        writer.join();

    const std::vector<std::string> lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines) {
        int writer = -1;
        int number = -1;
        char tail[128] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "writer %d line %d %127s", &writer, &number, tail), 3)
            << line;
        ASSERT_GE(writer, 0);
        ASSERT_LT(writer, kThreads);
        EXPECT_EQ(number, next[static_cast<std::size_t>(writer)]++);
        EXPECT_EQ(std::string(tail), std::string(100, 'x'));
    }
    EXPECT_EQ(ModeOf(path), 0600u);

    AppendTraceLine("", "nowhere");                            // no trace file: nothing
    AppendTraceLine(home.root + "/missing/trace.txt", "lost"); // errors are ignored
    EXPECT_FALSE(fs::exists(home.root + "/missing"));
}

TEST(ShellActionsTest, SelfContainedModeOnlyTraces) {
    TempHome home;
    StubOpener opener{home};
    EnvironmentSettings settings;
    settings.dataFolder = home.root + "/portable";
    settings.traceFile = home.root + "/trace.txt";
    const ShellActions actions{settings};
    const std::string folder = home.root + "/new folder";
    EXPECT_TRUE(actions.OpenAddress("http://192.168.0.2:8080/"));
    EXPECT_TRUE(actions.OpenFolder(folder));
    EXPECT_TRUE(actions.OpenFileLocation(folder + "/a.txt"));
    EXPECT_EQ(
        Lines(ReadFile(settings.traceFile)),
        (std::vector<std::string>{"open address http://192.168.0.2:8080/", "open folder " + folder,
                                  "open file location " + folder + "/a.txt"}));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(opener.Ran());
}

TEST(ShellActionsTest, AddressesAndFoldersGoToTheOpenerWithoutAShell) {
    TempHome home;
    StubOpener opener{home};
    const ShellActions actions{Normal()};

    const std::string url = "http://192.168.0.2:8080/?a=1&b='2' $(touch pwned);x";
    ASSERT_TRUE(actions.OpenAddress(url));
    EXPECT_EQ(opener.Next(), (std::vector<std::string>{url, "stdin=/dev/null"}));
    // Nothing is left for this process to reap.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    const std::string folder = home.root + "/shared/new \"one\"";
    ASSERT_TRUE(actions.OpenFolder(folder));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(opener.Next(), (std::vector<std::string>{folder, "stdin=/dev/null"}));

    // An argument that would read as an option is made a relative path.
    ASSERT_TRUE(actions.OpenAddress("-h"));
    EXPECT_EQ(opener.Next(), (std::vector<std::string>{"./-h", "stdin=/dev/null"}));
    EXPECT_FALSE(fs::exists(home.root + "/pwned"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));

    home.Set("PATH", home.root + "/empty");
    EXPECT_FALSE(actions.OpenAddress(url));
    std::ofstream{home.root + "/a-file"} << "x";
    EXPECT_FALSE(actions.OpenFolder(home.root + "/a-file/sub"));
}

// "Show in folder" with a private session bus: the file manager's bus
// interface when one runs or can be started, else the opener on the parent.
class FileLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_home.emplace();
        m_opener.emplace(*m_home);
        m_record = m_home->root + "/shown";
        m_item = m_home->root + "/My Files/a b#c%d.txt";
        fs::create_directories(m_home->root + "/My Files");
        std::ofstream{m_item} << "x";
    }
    void TearDown() override {
        m_standIn.Stop();
        m_bus.Stop();
        m_opener.reset();
        m_home.reset();
    }

    std::string StandInScript() const {
        const char* source = std::getenv("VELTO_SOURCE_DIR");
        return std::string{source ? source : "."} + "/tests/app/desktop/file_manager_standin.py";
    }

    // A bus of our own; with `activatable` it can start the stand-in itself.
    void StartBus(bool activatable) {
        const std::string services = m_home->root + "/services";
        fs::create_directories(services);
        if (activatable)
            std::ofstream{services + "/org.freedesktop.FileManager1.service"}
                << "[D-BUS Service]\nName=org.freedesktop.FileManager1\nExec=" << kSystemPython
                << " " << StandInScript() << " " << m_record << "\n";
        const std::string socket = m_home->root + "/bus";
        std::ofstream{m_home->root + "/bus.conf"}
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
               "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:path="
            << socket << "</listen><auth>EXTERNAL</auth><servicedir>" << services
            << "</servicedir><policy context=\"default\"><allow send_destination=\"*\" "
               "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
               "</busconfig>\n";
        m_bus = ChildProcess({"dbus-daemon", "--config-file=" + m_home->root + "/bus.conf",
                              "--nofork", "--nopidfile", "--print-address=1"});
        ASSERT_TRUE(m_bus.WaitForOutput("unix:path=", std::chrono::milliseconds(kWaitLimitMs)));
        m_home->Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socket);
    }

    std::optional<TempHome> m_home;
    std::optional<StubOpener> m_opener;
    std::string m_record;
    std::string m_item;
    ChildProcess m_bus;
    ChildProcess m_standIn;
};

TEST_F(FileLocationTest, RunningFileManagerShowsTheItem) {
    StartBus(false);
    m_standIn = ChildProcess({kSystemPython, StandInScript(), m_record});
    ASSERT_TRUE(m_standIn.WaitForOutput("ready", std::chrono::milliseconds(kWaitLimitMs)));

    ASSERT_TRUE(ShellActions{Normal()}.OpenFileLocation(m_item));
    const auto shown = WaitForFile(m_record);
    ASSERT_TRUE(shown);
    EXPECT_EQ(*shown,
              "ShowItems file://" + m_home->root + "/My%20Files/a%20b%23c%25d.txt startup=\n");
    EXPECT_FALSE(m_opener->Ran());
}

TEST_F(FileLocationTest, TheBusStartsAFileManagerThatIsOnlyInstalled) {
    StartBus(true);
    ASSERT_TRUE(ShellActions{Normal()}.OpenFileLocation(m_item));
    const auto shown = WaitForFile(m_record);
    ASSERT_TRUE(shown);
    EXPECT_NE(shown->find("/My%20Files/a%20b%23c%25d.txt"), std::string::npos) << *shown;
    EXPECT_FALSE(m_opener->Ran());
}

TEST_F(FileLocationTest, WithoutAFileManagerTheFolderOpens) {
    StartBus(false);
    ASSERT_TRUE(ShellActions{Normal()}.OpenFileLocation(m_item));
    EXPECT_EQ(m_opener->Next(),
              (std::vector<std::string>{m_home->root + "/My Files", "stdin=/dev/null"}));

    m_home->Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_home->root + "/no-such-bus");
    ASSERT_TRUE(ShellActions{Normal()}.OpenFileLocation(m_item));
    EXPECT_EQ(m_opener->Next(),
              (std::vector<std::string>{m_home->root + "/My Files", "stdin=/dev/null"}));
    EXPECT_FALSE(fs::exists(m_record));
}

} // namespace
} // namespace App
