// The real desktop program as a process on a private X server (Xvfb with
// openbox) and a private session bus with a stand-in panel
// (StatusNotifierWatcher) and notification server: started with --tray it
// shows no window and its tray item registers; the item's menu starts and
// stops the server and copies the address; a second start forwards "show";
// --quit ends it and takes the item away; copies with different instance
// names run side by side; closing the window hides it to the tray, or
// minimises it when no panel shows tray icons.
#include "tests/app/desktop/program_test_home.h"
#include "tests/support/panel_bus_reader.h"
#include "tests/support/service_fixture.h"
#include "tests/support/wait_until.h"
#include "tests/support/xvfb_session.h"
#include "tests/widget/desktop/peer_process.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>

namespace App::Testing {
namespace {

using Velto::Testing::XvfbSession;
using Velto::Widget::Kit::Testing::PeerCommand;
using Velto::Widget::Kit::Testing::PeerProcess;

bool WaitUntil(const std::function<bool()>& condition, int limitMs = kProgramLimitMs) {
    return Velto::Testing::WaitUntil(condition, std::chrono::milliseconds(limitMs),
                                     std::chrono::milliseconds(25));
}

struct MenuEntry {
    std::int32_t id{0};
    std::string label;
    bool enabled{true};
    bool separator{false};
};

// The panel's side of the tray item, over the private session bus.
class Panel : public Velto::Testing::PanelBusReader {
public:
    std::vector<std::string> Items() const { return RegisteredItems(); }
    // Registered items whose bus name is still there.
    std::vector<std::string> LiveItems() const {
        std::vector<std::string> live;
        for (const std::string& item : Items()) {
            if (Id(item) == "VeltoCorvane")
                live.push_back(item);
        }
        return live;
    }

    std::string Id(const std::string& item) const {
        return ItemString(item, "Id").value_or("<gone>");
    }

    std::string Tooltip(const std::string& item) const {
        return TooltipTitle(item).value_or("<gone>");
    }

    std::size_t PixmapCount(const std::string& item) const {
        sd_bus_message* reply = nullptr;
        if (sd_bus_get_property(Bus(), item.c_str(), "/StatusNotifierItem",
                                "org.kde.StatusNotifierItem", "IconPixmap", nullptr, &reply,
                                "a(iiay)") < 0)
            return 0;
        std::size_t count = 0;
        sd_bus_message_enter_container(reply, 'a', "(iiay)");
        while (sd_bus_message_skip(reply, "(iiay)") > 0)
            ++count;
        sd_bus_message_unref(reply);
        return count;
    }

    // Opens the menu as a panel does: AboutToShow, then the layout.
    std::vector<MenuEntry> Menu(const std::string& item) const {
        sd_bus_call_method(Bus(), item.c_str(), "/MenuBar", "com.canonical.dbusmenu", "AboutToShow",
                           nullptr, nullptr, "i", 0);
        std::vector<MenuEntry> entries;
        sd_bus_message* reply = nullptr;
        if (sd_bus_call_method(Bus(), item.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                               "GetLayout", nullptr, &reply, "iias", 0, -1, 0) < 0)
            return entries;
        std::uint32_t revision = 0;
        sd_bus_message_read(reply, "u", &revision);
        sd_bus_message_enter_container(reply, 'r', "ia{sv}av");
        std::int32_t rootId = 0;
        sd_bus_message_read(reply, "i", &rootId);
        sd_bus_message_skip(reply, "a{sv}");
        sd_bus_message_enter_container(reply, 'a', "v");
        while (sd_bus_message_enter_container(reply, 'v', "(ia{sv}av)") > 0) {
            MenuEntry entry;
            sd_bus_message_enter_container(reply, 'r', "ia{sv}av");
            sd_bus_message_read(reply, "i", &entry.id);
            sd_bus_message_enter_container(reply, 'a', "{sv}");
            while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
                const char* name = nullptr;
                sd_bus_message_read(reply, "s", &name);
                const std::string key = name;
                const char* contents = nullptr;
                sd_bus_message_peek_type(reply, nullptr, &contents);
                if (key == "label" && std::string_view(contents) == "s") {
                    const char* label = nullptr;
                    sd_bus_message_read(reply, "v", "s", &label);
                    entry.label = label;
                } else if (key == "enabled" && std::string_view(contents) == "b") {
                    int enabled = 1;
                    sd_bus_message_read(reply, "v", "b", &enabled);
                    entry.enabled = enabled != 0;
                } else if (key == "type" && std::string_view(contents) == "s") {
                    const char* type = nullptr;
                    sd_bus_message_read(reply, "v", "s", &type);
                    entry.separator = std::string_view(type) == "separator";
                } else {
                    sd_bus_message_skip(reply, "v");
                }
                sd_bus_message_exit_container(reply);
            }
            sd_bus_message_exit_container(reply);
            sd_bus_message_skip(reply, "av");
            sd_bus_message_exit_container(reply);
            sd_bus_message_exit_container(reply);
            entries.push_back(entry);
        }
        sd_bus_message_unref(reply);
        return entries;
    }

    bool Click(const std::string& item, std::int32_t id) const {
        return sd_bus_call_method(Bus(), item.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                                  "Event", nullptr, nullptr, "isvu", id, "clicked", "s", "",
                                  std::uint32_t{0}) >= 0;
    }

    bool CallItem(const std::string& item, const char* method, int x, int y) const {
        return sd_bus_call_method(Bus(), item.c_str(), "/StatusNotifierItem",
                                  "org.kde.StatusNotifierItem", method, nullptr, nullptr, "ii", x,
                                  y) >= 0;
    }

    struct Notification {
        std::uint32_t id{0};
        std::string summary;
        std::string body;
    };
    std::optional<Notification> LastNotification() const {
        sd_bus_message* reply = nullptr;
        if (sd_bus_call_method(Bus(), "org.freedesktop.Notifications",
                               "/org/freedesktop/Notifications", "org.velto.TestNotifications",
                               "Last", nullptr, &reply, "") < 0)
            return std::nullopt;
        Notification n;
        const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
        std::uint32_t replaces = 0;
        sd_bus_message_read(reply, "ususss", &n.id, &app, &replaces, &icon, &summary, &body);
        n.summary = summary;
        n.body = body;
        sd_bus_message_unref(reply);
        return n;
    }
};

// The entry with this label, as the panel shows it.
std::optional<MenuEntry> Entry(const std::vector<MenuEntry>& menu, const std::string& label) {
    for (const MenuEntry& entry : menu) {
        if (entry.label == label)
            return entry;
    }
    return std::nullopt;
}

class ProgramGuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_x =
            new XvfbSession(Velto::Testing::XvfbOptions{.windowManager = true, .sessionBus = true});
        ASSERT_TRUE(s_x->Start()) << "no private X server";
        s_notifications = new PeerProcess;
        ASSERT_TRUE(s_notifications->Start(PeerCommand("notifications")));
    }
    static void TearDownTestSuite() {
        delete s_notifications;
        s_notifications = nullptr;
        delete s_x;
        s_x = nullptr;
    }

    void SetUp() override { ASSERT_TRUE(m_watcher.Start(PeerCommand("watcher"))); }

    // A config.json in English on a free loopback port, without the router.
    static std::uint16_t WriteConfig(const ProgramHome& home, bool startServer = true) {
        const std::uint16_t port = Velto::Corvane::Testing::FreeLoopbackPort();
        home.WriteConfig(R"({"server": {"upnp": false, "language": "en", "port": )" +
                         std::to_string(port) + R"(, "startServerOnLaunch": )" +
                         (startServer ? "true" : "false") + "}}");
        return port;
    }

    static std::map<std::string, std::string>
    Environment(const ProgramHome& home, const std::map<std::string, std::string>& extra = {}) {
        std::map<std::string, std::string> all = {
            {"DISPLAY", s_x->Display()},
            {"DBUS_SESSION_BUS_ADDRESS", s_x->BusAddress()},
        };
        all.insert(extra.begin(), extra.end());
        return home.Environment(all);
    }

    // A run whose output goes to a folder of its own.
    static std::unique_ptr<ProgramRun> Start(const ProgramHome& home, const std::string& name,
                                             const std::vector<std::string>& arguments,
                                             const std::map<std::string, std::string>& env) {
        const std::filesystem::path folder = home.root / ("run-" + name);
        std::filesystem::create_directories(folder);
        return std::make_unique<ProgramRun>(arguments, env, folder.string());
    }

    // The program's top-level windows that are on the screen.
    static std::vector<unsigned long> VisibleWindows() {
        const std::string out =
            s_x->Run({"xdotool", "search", "--onlyvisible", "--class", "VeltoCorvane"}).out;
        std::vector<unsigned long> windows;
        std::size_t at = 0;
        while (at < out.size()) {
            const std::size_t end = out.find('\n', at);
            const std::string line = out.substr(at, end - at);
            if (!line.empty())
                windows.push_back(std::stoul(line));
            if (end == std::string::npos)
                break;
            at = end + 1;
        }
        return windows;
    }

    static std::string WindowState(unsigned long window) {
        return s_x->Run({"xprop", "-id", std::to_string(window), "WM_STATE"}).out;
    }

    // What a window manager sends when the close box is clicked.
    static void SendClose(unsigned long window) {
        Display* display = XOpenDisplay(s_x->Display().c_str());
        ASSERT_NE(display, nullptr);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XCloseDisplay(display);
    }

    // The live item of the program, once it has registered.
    std::string WaitForItem(const Panel& panel, std::size_t known = 0) const {
        std::vector<std::string> items;
        WaitUntil([&] {
            items = panel.LiveItems();
            return items.size() > known;
        });
        return items.size() > known ? items.back() : std::string();
    }

    static inline XvfbSession* s_x{nullptr};
    static inline PeerProcess* s_notifications{nullptr};
    PeerProcess m_watcher;
};

TEST_F(ProgramGuiTest, TrayMenuRunsTheServerAndAnotherStartOrQuitReachesIt) {
    const ProgramHome home{"program-tray"};
    const std::uint16_t port = WriteConfig(home);
    const std::string address = "http://127.0.0.1:" + std::to_string(port);
    const auto env = Environment(home);
    auto first = Start(home, "first", {"--tray"}, env);
    ASSERT_TRUE(home.WaitForTrace("started window=0")) << first->Errors() << home.Trace();
    EXPECT_EQ(home.CountTrace("server started port=" + std::to_string(port)), 1u);
    EXPECT_EQ(home.CountTrace("tray add hidden=0 ok=1"), 1u) << home.Trace();

    Panel panel;
    const std::string item = WaitForItem(panel);
    ASSERT_FALSE(item.empty());
    EXPECT_TRUE(WaitUntil([&] { return panel.Tooltip(item) == "VeltoCorvane: server on"; }))
        << panel.Tooltip(item);
    EXPECT_GT(panel.PixmapCount(item), 0u);
    EXPECT_TRUE(VisibleWindows().empty());

    std::vector<MenuEntry> menu = panel.Menu(item);
    ASSERT_EQ(menu.size(), 5u);
    EXPECT_EQ(menu[0].label, "Open");
    EXPECT_EQ(menu[1].label, "Stop server");
    EXPECT_EQ(menu[2].label, "Copy address");
    EXPECT_TRUE(menu[2].enabled);
    EXPECT_TRUE(menu[3].separator);
    EXPECT_EQ(menu[4].label, "Exit");

    // Copy address: the first address, on the X clipboard.
    ASSERT_TRUE(panel.Click(item, menu[2].id));
    EXPECT_TRUE(WaitUntil([&] {
        return s_x->Run({"xclip", "-o", "-selection", "clipboard"}, 5000).out == address;
    }));

    // Stop, then start again, from the menu.
    ASSERT_TRUE(panel.Click(item, menu[1].id));
    ASSERT_TRUE(home.WaitForTrace("server stopped")) << home.Trace();
    EXPECT_TRUE(WaitUntil([&] { return panel.Tooltip(item) == "VeltoCorvane: server off"; }));
    menu = panel.Menu(item);
    ASSERT_TRUE(Entry(menu, "Start server").has_value());
    ASSERT_TRUE(Entry(menu, "Copy address").has_value());
    EXPECT_FALSE(Entry(menu, "Copy address")->enabled);
    ASSERT_TRUE(panel.Click(item, Entry(menu, "Start server")->id));
    ASSERT_TRUE(home.WaitForTrace("server started port=" + std::to_string(port), 2))
        << home.Trace();
    EXPECT_TRUE(WaitUntil([&] { return panel.Tooltip(item) == "VeltoCorvane: server on"; }));
    EXPECT_TRUE(Entry(panel.Menu(item), "Stop server").has_value());

    // A second start shows the running copy's window and ends with 0.
    auto second = Start(home, "second", {}, env);
    EXPECT_EQ(second->Wait(), 0) << second->Errors();
    EXPECT_TRUE(home.WaitForTrace("command show"));
    EXPECT_TRUE(WaitUntil([] { return !VisibleWindows().empty(); }));

    // A panel that asks the program to draw the menu itself gets a popup.
    const std::size_t shown = VisibleWindows().size();
    ASSERT_TRUE(panel.CallItem(item, "ContextMenu", 300, 300));
    // Its off-screen anchor and the menu's popup.
    EXPECT_TRUE(WaitUntil([&] { return VisibleWindows().size() >= shown + 2; }));

    // --quit ends it: the server stops and the item leaves the panel.
    auto quit = Start(home, "quit", {"--quit"}, env);
    EXPECT_EQ(quit->Wait(), 0) << quit->Errors();
    EXPECT_EQ(first->Wait(), 0) << first->Errors();
    EXPECT_EQ(home.CountTrace("command quit"), 1u);
    EXPECT_EQ(home.CountTrace("exit"), 1u);
    EXPECT_EQ(home.CountTrace("tray delete"), 1u);
    EXPECT_EQ(panel.Id(item), "<gone>");

    // With nothing running, --quit starts nothing and ends with 0.
    auto idle = Start(home, "idle", {"--quit"}, env);
    EXPECT_EQ(idle->Wait(), 0) << idle->Errors();
    EXPECT_EQ(home.CountTrace("started window=0"), 1u);
}

TEST_F(ProgramGuiTest, ADroppedPathFromASecondStartOpensTheShareDialog) {
    const ProgramHome home{"program-drop"};
    WriteConfig(home, false);
    std::filesystem::create_directories(home.root / "Photos");
    const auto env = Environment(home);
    auto program = Start(home, "main", {"--tray"}, env);
    ASSERT_TRUE(home.WaitForTrace("started window=0")) << program->Errors();

    const std::string folder = (home.root / "Photos").string();
    auto drop = Start(home, "drop", {"--drop", folder}, env);
    EXPECT_EQ(drop->Wait(), 0) << drop->Errors();
    EXPECT_TRUE(home.WaitForTrace("command drop:" + folder));
    // As if dropped on the window: the share dialog for it opens.
    EXPECT_TRUE(WaitUntil([&] {
        return !s_x->Run({"xdotool", "search", "--onlyvisible", "--name", "Add shared folder"})
                    .out.empty();
    }));
    // A stop signal ends the program as Exit does, dialog or not.
    ASSERT_TRUE(program->Signal(SIGTERM));
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
    EXPECT_EQ(home.CountTrace("exit"), 1u);
}

TEST_F(ProgramGuiTest, OutsideItsOwnDataFolderADropOnlyShowsTheWindow) {
    const ProgramHome home{"program-nodrop"};
    // The user's own settings folder, not a data folder of its own.
    std::filesystem::create_directories(home.root / "config/VeltoCorvane");
    const std::uint16_t port = Velto::Corvane::Testing::FreeLoopbackPort();
    std::ofstream{home.root / "config/VeltoCorvane/config.json"}
        << R"({"server": {"upnp": false, "language": "en", "startServerOnLaunch": false, "port": )" +
               std::to_string(port) + "}}";
    const auto env = Environment(home, {{"VELTO_CORVANE_DATA_DIR", ""}});
    auto program = Start(home, "main", {"--tray"}, env);
    ASSERT_TRUE(home.WaitForTrace("started window=0")) << program->Errors();

    auto drop = Start(home, "drop", {"--drop", home.root.string()}, env);
    EXPECT_EQ(drop->Wait(), 0) << drop->Errors();
    EXPECT_TRUE(home.WaitForTrace("command show")) << home.Trace();
    EXPECT_FALSE(home.HasTracePrefix("command drop:"));
    auto quit = Start(home, "quit", {"--quit"}, env);
    EXPECT_EQ(quit->Wait(), 0);
    EXPECT_EQ(program->Wait(), 0);
}

TEST_F(ProgramGuiTest, TheConfiguredLanguageOrElseTheSystemsNamesTheTrayTexts) {
    struct Case {
        const char* configured;
        const char* lang;
        const char* tooltip;
    };
    const std::vector<Case> cases = {
        {"fr", "ko_KR.UTF-8", "VeltoCorvane: 서버 꺼짐"},
        {"fr", "de_DE.UTF-8", "VeltoCorvane: server off"},
        {"", "ko_KR.UTF-8", "VeltoCorvane: 서버 꺼짐"},
        {"en", "ko_KR.UTF-8", "VeltoCorvane: server off"},
        {"ko", "C.UTF-8", "VeltoCorvane: 서버 꺼짐"},
    };
    Panel panel;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.configured) + " " + c.lang);
        const ProgramHome home{"program-language"};
        home.WriteConfig(
            std::string(R"({"server": {"upnp": false, "startServerOnLaunch": false, )") +
            R"("language": ")" + c.configured + R"("}})");
        const auto env = Environment(home, {{"LANG", c.lang}});
        const std::size_t known = panel.LiveItems().size();
        auto program = Start(home, "main", {"--tray"}, env);
        ASSERT_TRUE(home.WaitForTrace("started window=0")) << program->Errors();
        const std::string item = WaitForItem(panel, known);
        ASSERT_FALSE(item.empty());
        EXPECT_EQ(panel.Tooltip(item), c.tooltip);
        auto quit = Start(home, "quit", {"--quit"}, env);
        EXPECT_EQ(quit->Wait(), 0);
        EXPECT_EQ(program->Wait(), 0);
    }
}

TEST_F(ProgramGuiTest, CopiesWithDifferentInstanceNamesRunSideBySide) {
    const ProgramHome homeA{"program-a"};
    const ProgramHome homeB{"program-b"};
    WriteConfig(homeA, false);
    WriteConfig(homeB, false);
    // One runtime folder for both, where the instance locks live.
    const std::string runtime = (homeA.root / "run").string();
    const auto envA =
        Environment(homeA, {{"VELTO_CORVANE_INSTANCE", "a"}, {"XDG_RUNTIME_DIR", runtime}});
    const auto envB =
        Environment(homeB, {{"VELTO_CORVANE_INSTANCE", "b"}, {"XDG_RUNTIME_DIR", runtime}});

    Panel panel;
    const std::size_t before = panel.LiveItems().size();
    auto a = Start(homeA, "a", {"--tray"}, envA);
    ASSERT_TRUE(homeA.WaitForTrace("started window=0")) << a->Errors();
    auto b = Start(homeB, "b", {"--tray"}, envB);
    ASSERT_TRUE(homeB.WaitForTrace("started window=0")) << b->Errors();
    EXPECT_TRUE(WaitUntil([&] { return panel.LiveItems().size() == before + 2; }));

    // The same name forwards to its own copy only.
    auto again = Start(homeA, "again", {}, envA);
    EXPECT_EQ(again->Wait(), 0) << again->Errors();
    EXPECT_TRUE(homeA.WaitForTrace("command show"));
    EXPECT_FALSE(homeB.HasTracePrefix("command "));

    auto quitB = Start(homeB, "quit-b", {"--quit"}, envB);
    EXPECT_EQ(quitB->Wait(), 0);
    EXPECT_EQ(b->Wait(), 0);
    EXPECT_EQ(homeA.CountTrace("exit"), 0u);
    auto quitA = Start(homeA, "quit-a", {"--quit"}, envA);
    EXPECT_EQ(quitA->Wait(), 0);
    EXPECT_EQ(a->Wait(), 0);
}

TEST_F(ProgramGuiTest, ClosingHidesToTheTrayWhileTheServerRunsAndEndsItOtherwise) {
    const ProgramHome home{"program-close"};
    WriteConfig(home);
    const auto env = Environment(home);
    auto program = Start(home, "main", {}, env);
    ASSERT_TRUE(home.WaitForTrace("started window=1")) << program->Errors() << home.Trace();
    std::vector<unsigned long> windows;
    ASSERT_TRUE(WaitUntil([&] { return (windows = VisibleWindows()).size() == 1; }));
    const unsigned long window = windows.front();
    Panel panel;
    const std::string item = WaitForItem(panel);

    SendClose(window);
    ASSERT_TRUE(home.WaitForTrace("window hidden")) << home.Trace();
    EXPECT_TRUE(WaitUntil([] { return VisibleWindows().empty(); }));
    std::optional<Panel::Notification> notice;
    ASSERT_TRUE(WaitUntil([&] {
        notice = panel.LastNotification();
        return notice && notice->summary == "VeltoCorvane is still running";
    }));
    EXPECT_NE(notice->body.find("notification area"), std::string::npos) << notice->body;

    // Shown again and closed again: hidden again, with no second notice.
    auto show = Start(home, "show", {}, env);
    EXPECT_EQ(show->Wait(), 0);
    ASSERT_TRUE(WaitUntil([] { return VisibleWindows().size() == 1; }));
    SendClose(window);
    ASSERT_TRUE(home.WaitForTrace("window hidden", 2)) << home.Trace();
    EXPECT_EQ(home.CountTrace("tray balloon VeltoCorvane is still running"), 1u);

    // With the server stopped, closing the window ends the program.
    const std::optional<MenuEntry> stop = Entry(panel.Menu(item), "Stop server");
    ASSERT_TRUE(stop.has_value());
    ASSERT_TRUE(panel.Click(item, stop->id));
    ASSERT_TRUE(home.WaitForTrace("server stopped"));
    auto showAgain = Start(home, "show-again", {}, env);
    EXPECT_EQ(showAgain->Wait(), 0);
    ASSERT_TRUE(WaitUntil([] { return VisibleWindows().size() == 1; }));
    SendClose(window);
    EXPECT_EQ(program->Wait(), 0) << program->Errors();
    EXPECT_EQ(home.CountTrace("exit"), 1u);
    EXPECT_EQ(home.CountTrace("window hidden"), 2u);
}

TEST_F(ProgramGuiTest, AHiddenTrayStaysInsideTheProgramAndShowsNoNotice) {
    const ProgramHome home{"program-hidden-tray"};
    WriteConfig(home);
    const auto env = Environment(home, {{"VELTO_CORVANE_TRAY_HIDDEN", "1"}});
    Panel panel;
    const std::size_t known = panel.LiveItems().size();
    auto program = Start(home, "main", {}, env);
    ASSERT_TRUE(home.WaitForTrace("started window=1")) << program->Errors() << home.Trace();
    EXPECT_EQ(home.CountTrace("tray add hidden=1 ok=1"), 1u) << home.Trace();
    std::vector<unsigned long> windows;
    ASSERT_TRUE(WaitUntil([&] { return (windows = VisibleWindows()).size() == 1; }));

    SendClose(windows.front());
    ASSERT_TRUE(home.WaitForTrace("window hidden")) << home.Trace();
    EXPECT_TRUE(WaitUntil([] { return VisibleWindows().empty(); }));
    EXPECT_FALSE(home.HasTracePrefix("tray balloon"));
    EXPECT_EQ(panel.LiveItems().size(), known);
    auto quit = Start(home, "quit", {"--quit"}, env);
    EXPECT_EQ(quit->Wait(), 0);
    EXPECT_EQ(program->Wait(), 0);
}

TEST_F(ProgramGuiTest, ParkedWindowsOpenLeftOfTheScreenWithoutTakingTheFocus) {
    const ProgramHome home{"program-parked"};
    WriteConfig(home, false);
    const auto env = Environment(home, {{"VELTO_CORVANE_PARK_WINDOWS", "1"}});
    const std::string focusedBefore = s_x->Run({"xdotool", "getwindowfocus"}).out;
    auto program = Start(home, "main", {}, env);
    ASSERT_TRUE(home.WaitForTrace("started window=1")) << program->Errors() << home.Trace();
    std::vector<unsigned long> windows;
    ASSERT_TRUE(WaitUntil([&] { return (windows = VisibleWindows()).size() == 1; }));
    // Asked for x = -30000; window managers keep a strip of a window on the
    // screen (openbox), so only the side it went to is certain.
    const std::string info = s_x->Run({"xwininfo", "-id", std::to_string(windows.front())}).out;
    EXPECT_NE(info.find("Absolute upper-left X:  -"), std::string::npos) << info;
    EXPECT_EQ(s_x->Run({"xdotool", "getwindowfocus"}).out, focusedBefore);
    auto quit = Start(home, "quit", {"--quit"}, env);
    EXPECT_EQ(quit->Wait(), 0);
    EXPECT_EQ(program->Wait(), 0);
}

// A panel without a notification area: a dock window along the screen's
// bottom, as long as the object lives.
class TaskBar {
public:
    TaskBar() : m_display(XOpenDisplay(s_display.c_str())) {
        if (m_display == nullptr)
            return;
        const int screen = DefaultScreen(m_display);
        m_window = XCreateSimpleWindow(m_display, RootWindow(m_display, screen), 0,
                                       DisplayHeight(m_display, screen) - 30,
                                       DisplayWidth(m_display, screen), 30, 0, 0, 0);
        const Atom type = XInternAtom(m_display, "_NET_WM_WINDOW_TYPE", False);
        const Atom dock = XInternAtom(m_display, "_NET_WM_WINDOW_TYPE_DOCK", False);
        XChangeProperty(m_display, m_window, type, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&dock), 1);
        XMapWindow(m_display, m_window);
        XSync(m_display, False);
    }
    ~TaskBar() {
        if (m_display != nullptr)
            XCloseDisplay(m_display);
    }
    TaskBar(const TaskBar&) = delete;
    TaskBar& operator=(const TaskBar&) = delete;

    static inline std::string s_display;

private:
    Display* m_display{nullptr};
    Window m_window{0};
};

// With no panel showing tray icons, closing with the server on minimises the
// window to a task bar, or keeps it open where nothing would bring a
// minimised window back; the notice says which, how to get the window back
// and how to quit, never a tray icon to right-click.
TEST_F(ProgramGuiTest, WithoutATrayHostClosingSaysWhereTheWindowIsAndHowToQuit) {
    // A desktop whose panel shows no tray icons.
    m_watcher.Stop();
    TaskBar::s_display = s_x->Display();
    for (const bool withTaskBar : {true, false}) {
        SCOPED_TRACE(withTaskBar ? "with a task bar" : "with a bare window manager");
        std::optional<TaskBar> taskBar;
        if (withTaskBar)
            taskBar.emplace();
        const ProgramHome home{withTaskBar ? "program-notray-bar" : "program-notray-bare"};
        WriteConfig(home);
        const auto env = Environment(home);
        auto program = Start(home, "main", {}, env);
        ASSERT_TRUE(home.WaitForTrace("started window=1")) << program->Errors() << home.Trace();
        std::vector<unsigned long> windows;
        ASSERT_TRUE(WaitUntil([&] { return (windows = VisibleWindows()).size() == 1; }));
        const unsigned long window = windows.front();

        Panel panel;
        std::optional<Panel::Notification> notice;
        const std::optional<Panel::Notification> before = panel.LastNotification();
        SendClose(window);
        if (withTaskBar) {
            ASSERT_TRUE(home.WaitForTrace("window minimized")) << home.Trace();
            EXPECT_TRUE(WaitUntil([&] {
                return WindowState(window).find("Iconic") != std::string::npos;
            })) << WindowState(window);
        } else {
            ASSERT_TRUE(home.WaitForTrace("window kept open")) << home.Trace();
            EXPECT_EQ(home.CountTrace("window minimized"), 0u);
            EXPECT_NE(WindowState(window).find("Normal"), std::string::npos) << WindowState(window);
            EXPECT_EQ(VisibleWindows().size(), 1u);
        }
        EXPECT_EQ(home.CountTrace("window hidden"), 0u);
        ASSERT_TRUE(WaitUntil([&] {
            notice = panel.LastNotification();
            return notice && notice->body.find("--quit") != std::string::npos &&
                   (!before || notice->id != before->id || notice->body != before->body);
        }));
        EXPECT_EQ(notice->summary, "VeltoCorvane is still running");
        EXPECT_EQ(notice->body.find("right-click"), std::string::npos) << notice->body;
        EXPECT_EQ(notice->body.find("task bar") != std::string::npos &&
                      notice->body.find("click VeltoCorvane") != std::string::npos,
                  withTaskBar)
            << notice->body;

        // "show" brings it back from the task bar.
        auto show = Start(home, "show", {}, env);
        EXPECT_EQ(show->Wait(), 0);
        EXPECT_TRUE(WaitUntil([&] {
            return WindowState(window).find("Normal") != std::string::npos;
        })) << WindowState(window);
        EXPECT_TRUE(WaitUntil([&] { return VisibleWindows().size() == 1; }));

        auto quit = Start(home, "quit", {"--quit"}, env);
        EXPECT_EQ(quit->Wait(), 0);
        EXPECT_EQ(program->Wait(), 0) << program->Errors();
    }
}

} // namespace
} // namespace App::Testing
