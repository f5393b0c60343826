// The real program in headless mode on a loopback port, with a temporary data
// folder, HOME and XDG folders, driven with curl and stopped with signals.

#include "base/unique_fd.h"
#include "base/utf.h"
#include "config/config.h"
#include "config/config_file.h"
#include "tests/app/program_run.h"
#include "tests/support/netns_lab.h"
#include "tests/support/responder_lab.h"
#include "tests/support/service_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace App {
namespace {

using Testing::ProgramRun;
using Velto::Corvane::Config;
using Velto::Corvane::Testing::CommandResult;
using Velto::Corvane::Testing::FreeLoopbackPort;
using Velto::Corvane::Testing::PortBlocker;
using Velto::Corvane::Testing::RunCommand;

// Bound on waiting for the program to come up; a safety net against a hang.
constexpr int kStartLimitMs = 30000;
constexpr std::string_view kReady = "Press Ctrl+C to stop.";
// Bytes with a zero among them, so that nothing on the way may treat them as text.
constexpr std::string_view kPictureBytes{"\xff\xd8\xff\xe0 not really a jpeg \x00\x01\x02", 26};
static_assert(kPictureBytes.back() == '\x02');

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in{path, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-headless-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        for (const char* folder : {"home", "config", "state", "data", "share", "run", "files"})
            std::filesystem::create_directories(m_root / folder);
        std::filesystem::create_directories(m_root / "files/Pictures/trip");
        std::ofstream{m_root / "files/Pictures/cat.jpg", std::ios::binary} << kPictureBytes;
        std::ofstream{m_root / "files/notes.txt"} << "remember the milk\n";
        std::ofstream{m_root / "share/kept.txt"} << "kept";
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }

    std::filesystem::path DataFolder() const { return m_root / "data"; }
    std::filesystem::path ConfigFile() const { return DataFolder() / "config.json"; }

    // config.json in the data folder: port 8080 (the runs override it), UPnP
    // off, one configured share "kept".
    Config WriteConfig(bool https, bool upnp = false) const {
        Config config;
        config.upnp = upnp;
        config.https = https;
        Velto::Corvane::Share kept;
        kept.id = "00000000000000aa";
        kept.name = u"kept";
        kept.path = (m_root / "share").u16string();
        config.shares.push_back(kept);
        EXPECT_TRUE(Velto::Corvane::SaveConfig(ConfigFile().string(), config));
        return config;
    }

    std::map<std::string, std::string> Environment() const {
        return {
            {"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"},
            {"HOME", (m_root / "home").string()},
            {"XDG_CONFIG_HOME", (m_root / "config").string()},
            {"XDG_STATE_HOME", (m_root / "state").string()},
            {"XDG_DATA_HOME", (m_root / "data-home").string()},
            {"XDG_RUNTIME_DIR", (m_root / "run").string()},
            {"VELTO_CORVANE_DATA_DIR", DataFolder().string()},
            {"VELTO_CORVANE_LOOPBACK", "1"},
        };
    }

    std::unique_ptr<ProgramRun> Run(const std::vector<std::string>& arguments,
                                    std::map<std::string, std::string> environment = {},
                                    const std::vector<std::string>& prefix = {}) {
        if (environment.empty())
            environment = Environment();
        return std::make_unique<ProgramRun>(arguments, environment, m_root.string(), prefix);
    }

    std::filesystem::path m_root;
};

CommandResult Curl(const std::string& url, const std::vector<std::string>& options = {}) {
    std::vector<std::string> argv{"curl", "-sS", "--noproxy", "*"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(url);
    return RunCommand(argv);
}

TEST_F(HeadlessTest, ServesSharesOverHttpAndStopsOnSigterm) {
    WriteConfig(false);
    const std::string before = ReadFile(ConfigFile());
    const std::uint16_t port = FreeLoopbackPort();
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    auto program = Run({"--headless", "--port", std::to_string(port), "--share",
                        (m_root / "files/Pictures").string(), "--share",
                        (m_root / "files/notes.txt").string()});
    ASSERT_TRUE(program->WaitForOutput(kReady, kStartLimitMs))
        << program->Output() << program->Errors();
    EXPECT_NE(program->Output().find(base + "/"), std::string::npos) << program->Output();

    const CommandResult shares = Curl(base + "/api/shares");
    for (const char* name : {"\"kept\"", "\"Pictures\"", "\"notes.txt\""})
        EXPECT_NE(shares.output.find(name), std::string::npos) << shares.output;
    const CommandResult listing = Curl(base + "/api/list?share=Pictures&path=");
    EXPECT_NE(listing.output.find("\"name\":\"cat.jpg\""), std::string::npos) << listing.output;
    EXPECT_NE(listing.output.find("\"name\":\"trip\""), std::string::npos) << listing.output;

    const std::string downloaded = (m_root / "downloaded.jpg").string();
    ASSERT_EQ(Curl(base + "/files/Pictures/cat.jpg", {"-o", downloaded}).exitCode, 0);
    EXPECT_EQ(ReadFile(downloaded), ReadFile(m_root / "files/Pictures/cat.jpg"));
    EXPECT_EQ(Curl(base + "/files/notes.txt/notes.txt").output, "remember the milk\n");
    EXPECT_EQ(Curl(base + "/files/kept/kept.txt").output, "kept");

    // One access-log line per download on standard output, and in the daily file.
    ASSERT_TRUE(program->WaitForOutput("/notes.txt/notes.txt", kStartLimitMs));
    const std::string output = program->Output();
    EXPECT_TRUE(std::regex_search(
        output, std::regex{"\\n[0-9-]+ [0-9:]+\\t127\\.0\\.0\\.1\\t\\tdownload\\t/Pictures/"
                           "cat\\.jpg\\t200\\t26\\n"}))
        << output;

    ASSERT_TRUE(program->Signal(SIGTERM));
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
    EXPECT_NE(program->Output().find("Stopped."), std::string::npos);
    EXPECT_EQ(Curl(base + "/api/shares").exitCode, 7); // nothing listens any more

    // The run-only shares and port were never saved.
    EXPECT_EQ(ReadFile(ConfigFile()), before);
    std::string logFiles;
    for (const auto& entry : std::filesystem::directory_iterator(DataFolder() / "logs"))
        logFiles += ReadFile(entry.path());
    EXPECT_NE(logFiles.find("download\t/Pictures/cat.jpg\t200\t26"), std::string::npos) << logFiles;
}

// The socket a service manager listens on for its services' notifications
// (NOTIFY_SOCKET): one datagram per notification.
class NotifySocket {
public:
    explicit NotifySocket(const std::filesystem::path& path) : m_path(path.string()) {
        m_fd.Reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        m_path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        m_bound = m_fd && ::bind(m_fd.Get(), reinterpret_cast<const sockaddr*>(&address),
                                 sizeof(address)) == 0;
        const timeval limit{kStartLimitMs / 1000, 0};
        ::setsockopt(m_fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    }
    bool IsBound() const { return m_bound; }
    const std::string& Path() const { return m_path; }
    // The next notification; empty after the time limit.
    std::string Next() const {
        std::string datagram(4096, '\0');
        const ssize_t length = ::recv(m_fd.Get(), datagram.data(), datagram.size(), 0);
        datagram.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        return datagram;
    }

private:
    std::string m_path;
    Velto::UniqueFd m_fd;
    bool m_bound{false};
};

// As the user service runs it: no --share, so config.json's shares alone,
// started and stopped by a service manager that waits for the notifications.
TEST_F(HeadlessTest, WithoutShareOptionServesTheSavedSharesAndNotifiesTheManager) {
    WriteConfig(false);
    const NotifySocket manager{m_root / "notify"};
    ASSERT_TRUE(manager.IsBound());
    const std::uint16_t port = FreeLoopbackPort();
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    auto environment = Environment();
    environment["NOTIFY_SOCKET"] = manager.Path();
    auto program = Run({"--headless", "--port", std::to_string(port)}, environment);

    const std::string ready = manager.Next();
    EXPECT_EQ(ready,
              "READY=1\nSTATUS=Serving on port " + std::to_string(port) + " of this computer")
        << program->Output() << program->Errors();
    // Ready means serving: the first request after the notification succeeds.
    EXPECT_EQ(Curl(base + "/files/kept/kept.txt").output, "kept");
    const CommandResult shares = Curl(base + "/api/shares");
    EXPECT_NE(shares.output.find("\"kept\""), std::string::npos) << shares.output;
    EXPECT_NE(program->Output().find("Sharing \"kept\": " + (m_root / "share").string() + "\n"),
              std::string::npos)
        << program->Output();

    ASSERT_TRUE(program->Signal(SIGTERM));
    EXPECT_EQ(manager.Next(), "STOPPING=1\nSTATUS=Stopping");
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
    EXPECT_NE(program->Output().find("Stopped."), std::string::npos);
}

TEST_F(HeadlessTest, ServesHttpsWithTheSelfSignedCertificate) {
    WriteConfig(true);
    const std::uint16_t port = FreeLoopbackPort();
    const std::string base = "https://127.0.0.1:" + std::to_string(port);
    auto program = Run({"--headless", "--port", std::to_string(port), "--share",
                        (m_root / "files/Pictures").string()});
    ASSERT_TRUE(program->WaitForOutput(kReady, kStartLimitMs))
        << program->Output() << program->Errors();
    EXPECT_NE(program->Output().find(base + "/"), std::string::npos) << program->Output();

    const CommandResult listing = Curl(base + "/api/list?share=Pictures&path=", {"-k"});
    EXPECT_NE(listing.output.find("\"name\":\"cat.jpg\""), std::string::npos) << listing.output;
    const std::string downloaded = (m_root / "downloaded.jpg").string();
    ASSERT_EQ(Curl(base + "/files/Pictures/cat.jpg", {"-k", "-o", downloaded}).exitCode, 0);
    EXPECT_EQ(ReadFile(downloaded), ReadFile(m_root / "files/Pictures/cat.jpg"));
    // Without trusting it, curl refuses the certificate.
    EXPECT_NE(Curl(base + "/api/shares").exitCode, 0);

    // The certificate served is the one whose thumbprint config.json now holds,
    // and it lives in the data folder.
    Config saved;
    ASSERT_TRUE(Velto::Corvane::LoadConfig(ConfigFile().string(), saved));
    const std::string sha1 = Velto::Utf16ToUtf8(saved.selfSignedThumbprint);
    EXPECT_EQ(sha1.size(), 40u);
    const CommandResult served = RunCommand(
        {"bash", "-c",
         "openssl s_client -connect 127.0.0.1:" + std::to_string(port) +
             " </dev/null 2>/dev/null | openssl x509 -noout -fingerprint -sha1 -subject"});
    std::string colonless;
    for (const char c : served.output) {
        if (c != ':')
            colonless += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_NE(colonless.find("=" + sha1), std::string::npos) << served.output;
    EXPECT_NE(served.output.find("VeltoCorvane Check"), std::string::npos) << served.output;
    EXPECT_TRUE(std::filesystem::exists(DataFolder() / "certs"));
    EXPECT_EQ(saved.shares.size(), 1u);
    EXPECT_EQ(saved.port, 8080);

    ASSERT_TRUE(program->Signal(SIGTERM));
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
}

TEST_F(HeadlessTest, InterruptAndHangupStopCleanlyToo) {
    WriteConfig(false);
    for (const int signal : {SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        const std::uint16_t port = FreeLoopbackPort();
        auto program = Run({"--headless", "--port", std::to_string(port)});
        ASSERT_TRUE(program->WaitForOutput(kReady, kStartLimitMs)) << program->Errors();
        ASSERT_TRUE(program->Signal(signal));
        EXPECT_EQ(program->Wait(), 0) << program->Errors();
        EXPECT_NE(program->Output().find("Stopped."), std::string::npos);
    }
}

TEST_F(HeadlessTest, StopRemovesTheRouterMapping) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to create network namespaces";
    Velto::Corvane::Testing::ResponderLab router;
    ASSERT_TRUE(router.Start("ok"));
    WriteConfig(false, true);
    const std::uint16_t port = FreeLoopbackPort();
    // On every address of the lab's namespace: a loopback-only run has
    // nothing to forward.
    std::map<std::string, std::string> everywhere = Environment();
    everywhere.erase("VELTO_CORVANE_LOOPBACK");
    auto program = Run({"--headless", "--port", std::to_string(port), "--upnp"}, everywhere,
                       router.lab.ExecArgv(router.client, {}));
    ASSERT_TRUE(program->WaitForOutput(kReady, kStartLimitMs)) << program->Errors();
    ASSERT_TRUE(program->WaitForOutput("Router: port " + std::to_string(port) +
                                           " is forwarded to this computer; Internet address "
                                           "11.22.33.44.",
                                       kStartLimitMs))
        << program->Output() << program->Errors();
    EXPECT_EQ(router.Count("AddPortMapping"), 1u);
    EXPECT_EQ(router.Count("DeletePortMapping"), 0u);
    EXPECT_GE(router.Searches(), 1u);

    ASSERT_TRUE(program->Signal(SIGTERM));
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
    EXPECT_EQ(router.Count("DeletePortMapping hdr=ok NewRemoteHost= NewExternalPort=" +
                           std::to_string(port) + " NewProtocol=TCP"),
              1u)
        << router.Requests() << program->Output() << program->Errors();
}

TEST_F(HeadlessTest, WithoutUpnpOptionTheRouterIsNeverAsked) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to create network namespaces";
    Velto::Corvane::Testing::ResponderLab router;
    ASSERT_TRUE(router.Start("ok"));
    WriteConfig(false, true); // the saved settings ask for port forwarding
    const std::uint16_t port = FreeLoopbackPort();
    std::map<std::string, std::string> everywhere = Environment();
    everywhere.erase("VELTO_CORVANE_LOOPBACK");
    auto program = Run({"--headless", "--port", std::to_string(port)}, everywhere,
                       router.lab.ExecArgv(router.client, {}));
    ASSERT_TRUE(program->WaitForOutput(kReady, kStartLimitMs)) << program->Errors();
    ASSERT_TRUE(program->WaitForOutput("Start with --upnp", kStartLimitMs)) << program->Output();
    // A search would have gone out at once; give a slow one time to arrive.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_TRUE(program->Signal(SIGTERM));
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
    EXPECT_EQ(router.Searches(), 0u);
    EXPECT_EQ(router.Requests(), "");
    EXPECT_EQ(program->Output().find("Router:"), std::string::npos) << program->Output();
}

// The issue's shape: saved settings and --upnp both ask for forwarding, but
// the server listens on 127.0.0.1 only, so not even a search goes out.
TEST_F(HeadlessTest, ALoopbackOnlyRunNeverAsksTheRouterEvenWithUpnp) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to create network namespaces";
    Velto::Corvane::Testing::ResponderLab router;
    ASSERT_TRUE(router.Start("ok"));
    WriteConfig(false, true);
    const std::uint16_t port = FreeLoopbackPort();
    auto program = Run({"--headless", "--port", std::to_string(port), "--upnp"}, {},
                       router.lab.ExecArgv(router.client, {}));
    ASSERT_TRUE(program->WaitForOutput(kReady, kStartLimitMs)) << program->Errors();
    ASSERT_TRUE(program->WaitForOutput("listens on this computer only", kStartLimitMs))
        << program->Output();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_TRUE(program->Signal(SIGTERM));
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
    EXPECT_EQ(router.Searches(), 0u);
    EXPECT_EQ(router.Requests(), "");
    EXPECT_EQ(program->Output().find("Router:"), std::string::npos) << program->Output();
}

TEST_F(HeadlessTest, StartFailuresExitWithAnExplanation) {
    WriteConfig(false);
    const PortBlocker blocker;
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
        std::string errorPart;
    };
    const std::vector<Case> cases = {
        {"port in use",
         {"--headless", "--port", std::to_string(blocker.Port())},
         1,
         "port " + std::to_string(blocker.Port()) + " is already in use (error 80072740)"},
        {"missing share",
         {"--headless", "--share", (m_root / "nothing-here").string()},
         1,
         "nothing-here\": it does not exist"},
        {"bad port", {"--headless", "--port", "http"}, 2, "1 to 65535"},
        {"unknown option", {"--headless", "--verbose"}, 2, "unknown option \"--verbose\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto program = Run(c.arguments);
        EXPECT_EQ(program->Wait(), c.exitCode);
        EXPECT_NE(program->Errors().find(c.errorPart), std::string::npos) << program->Errors();
        EXPECT_EQ(program->Output().find(std::string{kReady}), std::string::npos);
    }
}

TEST_F(HeadlessTest, PrivilegedPortIsRefusedWithTheAccessError) {
    constexpr std::uint16_t kPrivilegedPort = 80;
    std::ifstream limit{"/proc/sys/net/ipv4/ip_unprivileged_port_start"};
    int firstUnprivileged = 0;
    if (!(limit >> firstUnprivileged) || firstUnprivileged <= kPrivilegedPort)
        GTEST_SKIP() << "port 80 is not privileged on this machine";

    // Root runs the program as "nobody", in a folder that user may use.
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velto-headless-nobody-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path folder{pattern};
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    std::ofstream{folder / "config.json"} << R"({"server": {"upnp": false}})";
    std::vector<std::string> prefix;
    if (::geteuid() == 0) {
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            ASSERT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    auto environment = Environment();
    environment["HOME"] = folder.string();
    environment["VELTO_CORVANE_DATA_DIR"] = folder.string();
    auto program = std::make_unique<ProgramRun>(
        std::vector<std::string>{"--headless", "--port", std::to_string(kPrivilegedPort)},
        environment, m_root.string(), prefix);
    EXPECT_EQ(program->Wait(), 1);
    EXPECT_NE(program->Errors().find("the system does not allow port 80 (error 8007271D)"),
              std::string::npos)
        << program->Errors();
    std::filesystem::remove_all(folder);
}

TEST_F(HeadlessTest, WithoutHeadlessItPointsThere) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> display;
        std::string messagePart;
        int exitCode;
    };
    // A display that is named but cannot be reached: an X display number no
    // server uses, or a Wayland session alone (the window needs X11).
    const std::vector<Case> cases = {
        {"no display", {}, "No display found", 2},
        {"empty display", {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, "No display found", 2},
        {"X11", {{"DISPLAY", ":65000"}}, "display could not be opened", 1},
        {"Wayland", {{"WAYLAND_DISPLAY", "velto-test-none"}}, "display could not be opened", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto environment = Environment();
        environment.insert(c.display.begin(), c.display.end());
        auto program = Run({"--share", m_root.string()}, environment);
        EXPECT_EQ(program->Wait(), c.exitCode);
        EXPECT_NE(program->Errors().find(c.messagePart), std::string::npos) << program->Errors();
        EXPECT_NE(program->Errors().find("veltocorvane --headless"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(DataFolder() / "logs"));
    }
}

// Where `text` holds a byte or character that steers a terminal (a control
// other than those in `allowed`, DEL, a C1 control, a line or paragraph
// separator, a bidirectional control), or npos.
std::size_t FindRawControl(std::string_view text, std::string_view allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b < 0x20 && allowed.find(text[i]) == std::string_view::npos) || b == 0x7F)
            return i;
        const std::string_view rest = text.substr(i);
        const auto at = [&](std::size_t k) {
            return rest.size() > k ? static_cast<unsigned char>(rest[k]) : 0;
        };
        if (b == 0xC2 && at(1) >= 0x80 && at(1) <= 0x9F)
            return i;
        if (b == 0xE2 && at(1) == 0x80 && at(2) >= 0xA8 && at(2) <= 0xAE)
            return i;
        if (b == 0xE2 && at(1) == 0x81 && at(2) >= 0xA6 && at(2) <= 0xA9)
            return i;
    }
    return std::string_view::npos;
}

std::size_t CountOf(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// The daily files' text; empty while the folder is not there yet.
std::string DailyLogs(const std::filesystem::path& folder) {
    std::string text;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        text += ReadFile(entry.path());
    return text;
}

// An anonymous visitor signs in with a name made to rewrite the operator's
// terminal; the console and the day's log file show it escaped.
TEST_F(HeadlessTest, HostileSignInNameIsEscapedOnConsoleAndInLogFile) {
    WriteConfig(false);
    const std::uint16_t port = FreeLoopbackPort();
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    auto program = Run({"--headless", "--port", std::to_string(port)});
    ASSERT_TRUE(program->WaitForOutput(kReady, kStartLimitMs)) << program->Errors();

    // Erase the line above, forge one, ring, CSI, line separator, a
    // right-to-left override and isolate, then a flood of ESC.
    std::string name = R"(\u001b[1A\u001b[2K2026-01-01 00:00:00\tforged\u0007\u009b31m)"
                       R"(\u2028x\u202etxt.exe\u2066y)";
    for (int i = 0; i < 4000; ++i)
        name += R"(\u001b)";
    const std::string body = R"({"name": ")" + name + R"(", "password": "guess"})";
    const CommandResult reply =
        Curl(base + "/api/login", {"-X", "POST", "-H", "x-veltocorvane: 1", "-H",
                                   "content-type: application/json", "--data-binary", body});
    EXPECT_NE(reply.output.find("badLogin"), std::string::npos) << reply.output;
    ASSERT_TRUE(program->WaitForOutput("\tloginFailed\t", kStartLimitMs)) << program->Output();

    const std::string escaped = "\tloginFailed\t\\x1b[1A\\x1b[2K2026-01-01 00:00:00 "
                                "forged\\x07\\u009b31m\\u2028x\\u202etxt.exe\\u2066y\\x1b\\x1b";
    const std::string output = program->Output();
    EXPECT_NE(output.find(escaped), std::string::npos) << output.substr(0, 2000);
    EXPECT_EQ(FindRawControl(output, "\t\n"), std::string::npos) << output.substr(0, 2000);
    // The daily file gets its lines in batches, shortly after the console.
    std::string logs = DailyLogs(DataFolder() / "logs");
    for (int i = 0; i < kStartLimitMs / 50 && logs.find("\tloginFailed\t") == std::string::npos;
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        logs = DailyLogs(DataFolder() / "logs");
    }
    EXPECT_NE(logs.find(escaped), std::string::npos) << logs.substr(0, 2000);
    EXPECT_EQ(FindRawControl(logs, "\t\r\n"), std::string::npos) << logs.substr(0, 2000);
    // The flood is cut: one bounded line, marked as cut.
    EXPECT_NE(logs.find("\\x1b\xE2\x80\xA6[truncated]\t401\t0\r\n"), std::string::npos)
        << logs.substr(0, 2000);
    EXPECT_LT(logs.size(), 10000u);
    EXPECT_EQ(CountOf(logs, "\r\n"), 1u);

    ASSERT_TRUE(program->Signal(SIGTERM));
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
}

// Standard output is a pipe that nobody reads, as with a paused terminal:
// downloads keep being served, and once the pipe is read again the lines that
// did not fit are reported as dropped.
TEST_F(HeadlessTest, DownloadsGoOnWhileNobodyReadsTheConsole) {
    constexpr int kDownloads = 3000;
    constexpr std::string_view kRecord = "\tdownload\t/notes.txt/notes.txt\t200\t18";
    WriteConfig(false);
    const std::uint16_t port = FreeLoopbackPort();
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    auto program = std::make_unique<ProgramRun>(
        std::vector<std::string>{"--headless", "--port", std::to_string(port), "--share",
                                 (m_root / "files/notes.txt").string()},
        Environment(), m_root.string(), std::vector<std::string>{}, Testing::OutputTo::Pipe);
    ASSERT_TRUE(program->WaitForOutput(kReady, kStartLimitMs)) << program->Errors();

    // From here on nobody reads the pipe. One keep-alive connection asks for
    // the file again and again; the bound only ends a hang.
    const CommandResult downloads =
        RunCommand({"timeout", "120", "curl", "-sS", "--noproxy", "*",
                    base + "/files/notes.txt/notes.txt?[1-" + std::to_string(kDownloads) + "]"});
    EXPECT_EQ(downloads.exitCode, 0) << downloads.output.substr(0, 500);
    EXPECT_EQ(CountOf(downloads.output, "remember the milk\n"),
              static_cast<std::size_t>(kDownloads));

    // Reading again brings the report of what was dropped.
    ASSERT_TRUE(program->WaitForOutput(" lines dropped", kStartLimitMs))
        << program->Output().substr(0, 2000);
    ASSERT_TRUE(program->Signal(SIGTERM));
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
    const std::string output = program->Output();
    EXPECT_TRUE(output.ends_with("Stopped.\n")) << output.substr(output.size() - 500);

    // Every record is either on the console or counted as dropped.
    std::size_t dropped = 0;
    const std::regex report{"\n\xE2\x80\xA6 ([0-9]+) lines? dropped\n"};
    for (auto it = std::sregex_iterator(output.begin(), output.end(), report);
         it != std::sregex_iterator(); ++it)
        dropped += std::stoul((*it)[1].str());
    const std::size_t shown = CountOf(output, kRecord);
    EXPECT_GT(dropped, 0u);
    EXPECT_EQ(shown + dropped, static_cast<std::size_t>(kDownloads)) << shown << " + " << dropped;
    // The log file misses nothing.
    EXPECT_EQ(CountOf(DailyLogs(DataFolder() / "logs"), kRecord),
              static_cast<std::size_t>(kDownloads));
}

// A stop while the console is still stalled ends the program all the same,
// after a bounded wait for the reader.
TEST_F(HeadlessTest, StopsWhileNobodyReadsTheConsole) {
    WriteConfig(false);
    const std::uint16_t port = FreeLoopbackPort();
    auto program = std::make_unique<ProgramRun>(
        std::vector<std::string>{"--headless", "--port", std::to_string(port), "--share",
                                 (m_root / "files/notes.txt").string()},
        Environment(), m_root.string(), std::vector<std::string>{}, Testing::OutputTo::Pipe);
    ASSERT_TRUE(program->WaitForOutput(kReady, kStartLimitMs)) << program->Errors();
    const CommandResult downloads = RunCommand(
        {"timeout", "120", "curl", "-sS", "--noproxy", "*",
         "http://127.0.0.1:" + std::to_string(port) + "/files/notes.txt/notes.txt?[1-200]"});
    EXPECT_EQ(downloads.exitCode, 0) << downloads.output;
    ASSERT_TRUE(program->Signal(SIGTERM));
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
}

} // namespace
} // namespace App
