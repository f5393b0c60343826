// The tray icon on a private session bus, against a stand-in panel
// (StatusNotifierWatcher) and notification server; this test plays the
// panel's host and reads the item back over the bus.
#include "widget/tray/dbus_menu_model.h"
#include "widget/tray/icon_pixmap.h"
#include "widget/tray/tray_icon.h"

#include "tests/support/panel_bus_reader.h"
#include "tests/support/session_bus.h"
#include "tests/support/temp_home.h"
#include "tests/support/wait_until.h"
#include "tests/widget/desktop/peer_process.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace Velto::Widget::Kit {
namespace {

using Testing::PeerCommand;
using Testing::PeerProcess;

constexpr int kWaitMs = 20'000;

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs) {
    return Velto::Testing::WaitUntil(condition, std::chrono::milliseconds(timeoutMs));
}

struct LayoutItem {
    std::int32_t id{0};
    std::map<std::string, std::string> props; // every value as text
    std::vector<LayoutItem> children;
};

// The panel's side: reads the item's properties and menu, and calls it.
class Panel : public Velto::Testing::PanelBusReader {
public:
    std::string String(const std::string& service, const char* property) const {
        return ItemString(service, property).value_or("<error>");
    }
    std::string TooltipTitle(const std::string& service) const {
        return PanelBusReader::TooltipTitle(service).value_or("<error>");
    }

    std::vector<IconPixmap> Pixmaps(const std::string& service) {
        std::vector<IconPixmap> pixmaps;
        sd_bus_message* reply = nullptr;
        if (sd_bus_get_property(Bus(), service.c_str(), "/StatusNotifierItem",
                                "org.kde.StatusNotifierItem", "IconPixmap", nullptr, &reply,
                                "a(iiay)") < 0)
            return pixmaps;
        sd_bus_message_enter_container(reply, 'a', "(iiay)");
        while (sd_bus_message_enter_container(reply, 'r', "iiay") > 0) {
            IconPixmap pixmap;
            const void* data = nullptr;
            std::size_t size = 0;
            sd_bus_message_read(reply, "ii", &pixmap.width, &pixmap.height);
            sd_bus_message_read_array(reply, 'y', &data, &size);
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            pixmap.argb.assign(bytes, bytes + size);
            sd_bus_message_exit_container(reply);
            pixmaps.push_back(std::move(pixmap));
        }
        sd_bus_message_unref(reply);
        return pixmaps;
    }

    bool CallItem(const std::string& service, const char* method, int x, int y) {
        return sd_bus_call_method(Bus(), service.c_str(), "/StatusNotifierItem",
                                  "org.kde.StatusNotifierItem", method, nullptr, nullptr, "ii", x,
                                  y) >= 0;
    }

    std::optional<LayoutItem> Layout(const std::string& service) {
        sd_bus_message* reply = nullptr;
        if (sd_bus_call_method(Bus(), service.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                               "GetLayout", nullptr, &reply, "iias", 0, -1, 0) < 0)
            return std::nullopt;
        std::uint32_t revision = 0;
        sd_bus_message_read(reply, "u", &revision);
        LayoutItem root = ReadLayout(reply);
        sd_bus_message_unref(reply);
        return root;
    }

    bool Click(const std::string& service, std::int32_t id) {
        return sd_bus_call_method(Bus(), service.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                                  "Event", nullptr, nullptr, "isvu", id, "clicked", "s", "",
                                  std::uint32_t{0}) >= 0;
    }

    std::optional<bool> AboutToShow(const std::string& service) {
        sd_bus_message* reply = nullptr;
        if (sd_bus_call_method(Bus(), service.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                               "AboutToShow", nullptr, &reply, "i", 0) < 0)
            return std::nullopt;
        int update = 0;
        sd_bus_message_read(reply, "b", &update);
        sd_bus_message_unref(reply);
        return update != 0;
    }

    std::optional<std::int32_t> ToggleState(const std::string& service, std::int32_t id) {
        sd_bus_message* reply = nullptr;
        if (sd_bus_call_method(Bus(), service.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                               "GetProperty", nullptr, &reply, "is", id, "toggle-state") < 0)
            return std::nullopt;
        std::int32_t state = -1;
        sd_bus_message_read(reply, "v", "i", &state);
        sd_bus_message_unref(reply);
        return state;
    }

    struct Notification {
        std::uint32_t id{0};
        std::string app, icon, summary, body;
        std::uint32_t replaces{0};
        std::vector<std::string> actions;
    };
    std::optional<Notification> LastNotification() {
        sd_bus_message* reply = nullptr;
        if (sd_bus_call_method(Bus(), "org.freedesktop.Notifications",
                               "/org/freedesktop/Notifications", "org.velto.TestNotifications",
                               "Last", nullptr, &reply, "") < 0)
            return std::nullopt;
        Notification n;
        const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
        sd_bus_message_read(reply, "ususss", &n.id, &app, &n.replaces, &icon, &summary, &body);
        n.app = app;
        n.icon = icon;
        n.summary = summary;
        n.body = body;
        sd_bus_message_enter_container(reply, 'a', "s");
        const char* action = nullptr;
        while (sd_bus_message_read(reply, "s", &action) > 0)
            n.actions.emplace_back(action);
        sd_bus_message_unref(reply);
        return n;
    }

    bool Notifications(const char* method, std::uint32_t id, const char* key) {
        return sd_bus_call_method(Bus(), "org.freedesktop.Notifications",
                                  "/org/freedesktop/Notifications", "org.velto.TestNotifications",
                                  method, nullptr, nullptr, "us", id, key) >= 0;
    }
    bool HonourReplaces(bool honour) {
        return sd_bus_call_method(Bus(), "org.freedesktop.Notifications",
                                  "/org/freedesktop/Notifications", "org.velto.TestNotifications",
                                  "HonourReplaces", nullptr, nullptr, "b", honour) >= 0;
    }
    bool CloseNotification(std::uint32_t id) {
        return sd_bus_call_method(Bus(), "org.freedesktop.Notifications",
                                  "/org/freedesktop/Notifications", "org.velto.TestNotifications",
                                  "Close", nullptr, nullptr, "uu", id, std::uint32_t{1}) >= 0;
    }

private:
    static LayoutItem ReadLayout(sd_bus_message* reply) {
        LayoutItem item;
        sd_bus_message_enter_container(reply, 'r', "ia{sv}av");
        sd_bus_message_read(reply, "i", &item.id);
        sd_bus_message_enter_container(reply, 'a', "{sv}");
        while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
            const char* name = nullptr;
            sd_bus_message_read(reply, "s", &name);
            const char* contents = nullptr;
            sd_bus_message_peek_type(reply, nullptr, &contents);
            std::string value;
            if (std::string_view(contents) == "s") {
                const char* s = nullptr;
                sd_bus_message_read(reply, "v", "s", &s);
                value = s;
            } else if (std::string_view(contents) == "b") {
                int b = 0;
                sd_bus_message_read(reply, "v", "b", &b);
                value = b ? "true" : "false";
            } else if (std::string_view(contents) == "i") {
                std::int32_t i = 0;
                sd_bus_message_read(reply, "v", "i", &i);
                value = std::to_string(i);
            } else {
                sd_bus_message_skip(reply, "v");
            }
            item.props[name] = value;
            sd_bus_message_exit_container(reply);
        }
        sd_bus_message_exit_container(reply);
        sd_bus_message_enter_container(reply, 'a', "v");
        while (sd_bus_message_enter_container(reply, 'v', "(ia{sv}av)") > 0) {
            item.children.push_back(ReadLayout(reply));
            sd_bus_message_exit_container(reply);
        }
        sd_bus_message_exit_container(reply);
        sd_bus_message_exit_container(reply);
        return item;
    }
};

// What the icon's handlers saw; they may run on the bus thread.
struct Seen {
    std::mutex mutex;
    std::vector<std::string> lines;

    void Add(std::string line) {
        const std::lock_guard lock(mutex);
        lines.push_back(std::move(line));
    }
    bool Has(const std::string& line) {
        const std::lock_guard lock(mutex);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::size_t Count(const std::string& line) {
        const std::lock_guard lock(mutex);
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }
};

std::shared_ptr<const Bitmap> SolidBitmap(int size, std::uint8_t b, std::uint8_t g, std::uint8_t r,
                                          std::uint8_t a) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size) * size * 4);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = b;
        pixels[i + 1] = g;
        pixels[i + 2] = r;
        pixels[i + 3] = a;
    }
    return Bitmap::FromBgra(size, size, size * 4, pixels);
}

MenuItem Item(std::u16string text, std::uint32_t id = 0,
              MenuItemKind kind = MenuItemKind::Command) {
    MenuItem item;
    item.kind = kind;
    item.id = id;
    item.text = std::move(text);
    return item;
}

TrayOptions Options(std::u16string tooltip, std::string id = {}) {
    TrayOptions options;
    options.tooltip = std::move(tooltip);
    options.id = std::move(id);
    return options;
}

TrayOptions HiddenOptions(std::u16string tooltip, bool useShell) {
    TrayOptions options = Options(std::move(tooltip));
    options.hidden = true;
    options.useShell = useShell;
    return options;
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_bus.Start());
        m_home.Set("XDG_RUNTIME_DIR", m_bus.Folder());
    }

    void StartWatcher() { ASSERT_TRUE(m_watcher.Start(PeerCommand("watcher"))); }

    std::vector<MenuItem> Menu() {
        MenuItem open = Item(u"&Open", 1);
        open.command = [this] { m_seen.Add("open"); };
        MenuItem copy = Item(u"Copy address", 3);
        copy.enabled = false;
        copy.command = [this] { m_seen.Add("copy"); };
        const MenuItem separator = Item(u"", 0, MenuItemKind::Separator);
        MenuItem exit = Item(u"E&xit", 4);
        exit.command = [this] { m_seen.Add("exit"); };
        return {open, copy, separator, exit};
    }

    // An icon whose handlers and trace lines land in m_seen.
    void Watch(TrayIcon& icon) {
        icon.SetOnTrace([this](std::string_view line) { m_seen.Add(std::string(line)); });
        icon.SetOnSelect([this](ScreenPoint p) {
            m_seen.Add("select " + std::to_string(p.x) + "," + std::to_string(p.y));
        });
        icon.SetOnContextMenu([this](ScreenPoint p) {
            m_seen.Add("context " + std::to_string(p.x) + "," + std::to_string(p.y));
        });
    }

    std::string OnlyItem(Panel& host) {
        std::vector<std::string> items;
        WaitUntil([&] {
            items = host.RegisteredItems();
            return !items.empty();
        });
        return items.empty() ? std::string() : items.front();
    }

    Corvane::Testing::TempHome m_home;
    Velto::Testing::SessionBus m_bus;
    PeerProcess m_watcher;
    Seen m_seen;
};

TEST_F(TrayIconTest, RegistersAndPublishesIconTooltipAndMenu) {
    StartWatcher();
    TrayIcon icon;
    Watch(icon);
    icon.SetMenu(Menu());
    // Opaque red: B, G, R, A.
    TrayOptions options = Options(u"VeltoCorvane: server off", "VeltoCorvane");
    options.icon.bitmap = SolidBitmap(8, 0, 0, 255, 255);
    ASSERT_TRUE(icon.Add(options));
    EXPECT_TRUE(m_seen.Has("tray add hidden=0 ok=1"));

    Panel host;
    const std::string service = OnlyItem(host);
    ASSERT_FALSE(service.empty());
    EXPECT_EQ(host.String(service, "Category"), "ApplicationStatus");
    EXPECT_EQ(host.String(service, "Id"), "VeltoCorvane");
    EXPECT_EQ(host.String(service, "Status"), "Active");
    EXPECT_EQ(host.TooltipTitle(service), "VeltoCorvane: server off");

    const std::vector<IconPixmap> pixmaps = host.Pixmaps(service);
    ASSERT_EQ(pixmaps.size(), kTrayIconSizes.size());
    for (std::size_t i = 0; i < pixmaps.size(); ++i) {
        EXPECT_EQ(pixmaps[i].width, kTrayIconSizes[i]);
        ASSERT_EQ(pixmaps[i].argb.size(),
                  static_cast<std::size_t>(kTrayIconSizes[i] * kTrayIconSizes[i] * 4));
        // The middle pixel: opaque red in A, R, G, B order.
        const std::size_t middle =
            (static_cast<std::size_t>(kTrayIconSizes[i]) / 2 * kTrayIconSizes[i] +
             kTrayIconSizes[i] / 2) *
            4;
        EXPECT_EQ(pixmaps[i].argb[middle], 255);
        EXPECT_EQ(pixmaps[i].argb[middle + 1], 255);
        EXPECT_EQ(pixmaps[i].argb[middle + 2], 0);
        EXPECT_EQ(pixmaps[i].argb[middle + 3], 0);
    }

    const auto layout = host.Layout(service);
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->children.size(), 4u);
    EXPECT_EQ(layout->props.at("children-display"), "submenu");
    EXPECT_EQ(layout->children[0].props.at("label"), "_Open");
    EXPECT_EQ(layout->children[1].props.at("label"), "Copy address");
    EXPECT_EQ(layout->children[1].props.at("enabled"), "false");
    EXPECT_EQ(layout->children[2].props.at("type"), "separator");
    EXPECT_EQ(layout->children[3].props.at("label"), "E_xit");

    // Changes reach the panel, and are traced.
    icon.SetTooltip(u"VeltoCorvane: server on");
    EXPECT_TRUE(WaitUntil([&] { return host.TooltipTitle(service) == "VeltoCorvane: server on"; }));
    EXPECT_TRUE(m_seen.Has("tray modify tip"));
    icon.SetIcon({});
    EXPECT_TRUE(WaitUntil([&] { return host.Pixmaps(service).empty(); }));
    EXPECT_EQ(host.String(service, "IconName"), "application-x-executable");
    EXPECT_TRUE(m_seen.Has("tray modify icon"));

    // Removing takes the item off the bus.
    icon.Remove();
    EXPECT_TRUE(m_seen.Has("tray delete"));
    EXPECT_EQ(host.String(service, "Id"), "<error>");
}

TEST_F(TrayIconTest, ClicksAndMenuEventsReachTheHandlers) {
    StartWatcher();
    TrayIcon icon;
    Watch(icon);
    std::vector<MenuItem> menu = Menu();
    menu.push_back(Item(u"Start at sign-in", 5, MenuItemKind::Check));
    icon.SetMenu(menu);
    ASSERT_TRUE(icon.Add(Options(u"tip")));
    Panel host;
    const std::string service = OnlyItem(host);

    ASSERT_TRUE(host.CallItem(service, "Activate", 10, 20));
    EXPECT_TRUE(WaitUntil([&] { return m_seen.Has("select 10,20"); }));
    ASSERT_TRUE(host.CallItem(service, "ContextMenu", -5, 600));
    EXPECT_TRUE(WaitUntil([&] { return m_seen.Has("context -5,600"); }));

    const auto layout = host.Layout(service);
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->children.size(), 5u);
    ASSERT_TRUE(host.Click(service, layout->children[3].id));
    EXPECT_TRUE(WaitUntil([&] { return m_seen.Has("exit"); }));
    // A disabled item does nothing.
    ASSERT_TRUE(host.Click(service, layout->children[1].id));
    ASSERT_TRUE(host.Click(service, layout->children[0].id));
    EXPECT_TRUE(WaitUntil([&] { return m_seen.Has("open"); }));
    EXPECT_FALSE(m_seen.Has("copy"));
    // A check item toggles for the panel to show.
    const std::int32_t checkId = layout->children[4].id;
    EXPECT_EQ(host.ToggleState(service, checkId), 0);
    ASSERT_TRUE(host.Click(service, checkId));
    EXPECT_EQ(host.ToggleState(service, checkId), 1);
}

TEST_F(TrayIconTest, MenuIsRebuiltOnTheUiThreadBeforeItOpens) {
    StartWatcher();
    // A stand-in UI loop on this thread.
    std::mutex mutex;
    std::deque<UiTask> tasks;
    UiPoster poster = [&](UiTask task) {
        const std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
    };
    auto pump = [&] {
        std::deque<UiTask> now;
        {
            const std::lock_guard lock(mutex);
            now.swap(tasks);
        }
        for (UiTask& task : now)
            task();
    };
    const auto uiThread = std::this_thread::get_id();
    TrayIcon icon(poster);
    Watch(icon);
    bool running = false;
    std::thread::id commandThread;
    icon.SetMenuProvider([&] {
        MenuItem toggle = Item(running ? u"Stop server" : u"Start server", 2);
        toggle.command = [&] {
            commandThread = std::this_thread::get_id();
            running = !running;
        };
        return std::vector<MenuItem>{toggle};
    });
    ASSERT_TRUE(icon.Add(Options(u"tip")));
    Panel host;
    const std::string service = OnlyItem(host);

    // The panel asks from its own thread; this thread runs the UI tasks.
    auto openMenu = [&] {
        std::optional<bool> updated;
        std::thread panel([&] {
            Panel otherPanel;
            updated = otherPanel.AboutToShow(service);
        });
        while (!WaitUntil([&] { return updated.has_value(); }, 5)) {
            pump();
        }
        panel.join();
        return updated;
    };
    EXPECT_EQ(openMenu(), true);
    auto layout = host.Layout(service);
    ASSERT_TRUE(layout && layout->children.size() == 1);
    EXPECT_EQ(layout->children[0].props.at("label"), "Start server");

    ASSERT_TRUE(host.Click(service, layout->children[0].id));
    ASSERT_TRUE(WaitUntil([&] {
        pump();
        return running;
    }));
    EXPECT_EQ(commandThread, uiThread);
    EXPECT_EQ(openMenu(), true);
    layout = host.Layout(service);
    ASSERT_TRUE(layout && layout->children.size() == 1);
    EXPECT_EQ(layout->children[0].props.at("label"), "Stop server");
}

TEST_F(TrayIconTest, NotificationClickRunsOnlyTheCurrentHandlerOnce) {
    StartWatcher();
    PeerProcess server;
    ASSERT_TRUE(server.Start(PeerCommand("notifications")));
    TrayIcon icon;
    Watch(icon);
    ASSERT_TRUE(icon.Add(Options(u"tip", "VeltoCorvane")));
    Panel host;

    ASSERT_TRUE(icon.ShowBalloon({u"VeltoCorvane is still running", u"The server is on.", false},
                                 [this] { m_seen.Add("first click"); }));
    EXPECT_TRUE(m_seen.Has("tray balloon VeltoCorvane is still running"));
    std::optional<Panel::Notification> shown;
    ASSERT_TRUE(WaitUntil([&] { return (shown = host.LastNotification()).has_value(); }));
    EXPECT_EQ(shown->app, "VeltoCorvane");
    EXPECT_EQ(shown->summary, "VeltoCorvane is still running");
    EXPECT_EQ(shown->body, "The server is on.");
    ASSERT_GE(shown->actions.size(), 2u);
    EXPECT_EQ(shown->actions[0], "default");
    EXPECT_EQ(shown->icon, "dialog-information");

    ASSERT_TRUE(host.Notifications("Invoke", shown->id, "default"));
    EXPECT_TRUE(WaitUntil([&] { return m_seen.Has("first click"); }));

    // A closed notification drops its handler: a late click does nothing.
    ASSERT_TRUE(
        icon.ShowBalloon({u"second", u"text", true}, [this] { m_seen.Add("second click"); }));
    ASSERT_TRUE(WaitUntil([&] {
        shown = host.LastNotification();
        return shown && shown->summary == "second";
    }));
    EXPECT_EQ(shown->icon, "dialog-error");
    ASSERT_TRUE(host.CloseNotification(shown->id));
    // The next notification replaces the one still showing and takes over
    // the click.
    ASSERT_TRUE(
        icon.ShowBalloon({u"third", u"text", false}, [this] { m_seen.Add("third click"); }));
    ASSERT_TRUE(WaitUntil([&] {
        shown = host.LastNotification();
        return shown && shown->summary == "third";
    }));
    ASSERT_TRUE(
        icon.ShowBalloon({u"fourth", u"text", false}, [this] { m_seen.Add("fourth click"); }));
    ASSERT_TRUE(WaitUntil([&] {
        shown = host.LastNotification();
        return shown && shown->summary == "fourth";
    }));
    EXPECT_EQ(shown->replaces, shown->id);
    ASSERT_TRUE(host.Notifications("Invoke", shown->id, "default"));
    EXPECT_TRUE(WaitUntil([&] { return m_seen.Has("fourth click"); }));
    // Clicking again (a server that repeats itself) runs nothing twice.
    ASSERT_TRUE(host.Notifications("Invoke", shown->id, "default"));
    ASSERT_TRUE(icon.ShowBalloon({u"sync", u"", false}, nullptr));
    ASSERT_TRUE(WaitUntil([&] {
        shown = host.LastNotification();
        return shown && shown->summary == "sync";
    }));
    EXPECT_EQ(m_seen.Count("fourth click"), 1u);
    EXPECT_FALSE(m_seen.Has("second click"));
    EXPECT_FALSE(m_seen.Has("third click"));

    // A server that keeps the older notification on screen: a click on it
    // runs nothing, a click on the newer one runs the newer handler.
    ASSERT_TRUE(host.HonourReplaces(false));
    ASSERT_TRUE(icon.ShowBalloon({u"older", u"", false}, [this] { m_seen.Add("older click"); }));
    std::optional<Panel::Notification> older;
    ASSERT_TRUE(WaitUntil([&] {
        older = host.LastNotification();
        return older && older->summary == "older";
    }));
    ASSERT_TRUE(icon.ShowBalloon({u"newer", u"", false}, [this] { m_seen.Add("newer click"); }));
    ASSERT_TRUE(WaitUntil([&] {
        shown = host.LastNotification();
        return shown && shown->summary == "newer";
    }));
    ASSERT_NE(shown->id, older->id);
    ASSERT_TRUE(host.Notifications("Invoke", older->id, "default"));
    // The item handles its messages in order: once a later call has arrived,
    // the click before it has been dealt with.
    const std::string service = OnlyItem(host);
    ASSERT_TRUE(host.CallItem(service, "Activate", 1, 1));
    ASSERT_TRUE(WaitUntil([&] { return m_seen.Has("select 1,1"); }));
    EXPECT_FALSE(m_seen.Has("newer click"));
    ASSERT_TRUE(host.Notifications("Invoke", shown->id, "default"));
    EXPECT_TRUE(WaitUntil([&] { return m_seen.Has("newer click"); }));
    EXPECT_FALSE(m_seen.Has("older click"));
}

TEST_F(TrayIconTest, WatcherRestartRegistersTheItemAgain) {
    StartWatcher();
    TrayIcon icon;
    Watch(icon);
    ASSERT_TRUE(icon.Add(Options(u"tip")));
    Panel host;
    const std::string service = OnlyItem(host);
    ASSERT_FALSE(service.empty());

    m_watcher.Stop();
    PeerProcess restarted;
    ASSERT_TRUE(restarted.Start(PeerCommand("watcher")));
    EXPECT_TRUE(restarted.WaitForLine("registered " + service, kWaitMs));
    EXPECT_TRUE(WaitUntil([&] { return m_seen.Count("tray add hidden=0 ok=1") == 2; }));
}

TEST_F(TrayIconTest, WithoutAPanelNothingFailsAndTheIconAppearsLater) {
    TrayIcon icon;
    Watch(icon);
    EXPECT_FALSE(icon.Add(HiddenOptions(u"tip", true)));
    EXPECT_TRUE(m_seen.Has("tray add hidden=1 ok=0"));
    icon.SetTooltip(u"still works");
    EXPECT_TRUE(icon.ShowBalloon({u"title", u"text", false}, [] {}));

    // A panel that starts later (a login where the program starts first)
    // gets the icon, hidden as asked.
    StartWatcher();
    Panel host;
    const std::string service = OnlyItem(host);
    ASSERT_FALSE(service.empty());
    EXPECT_EQ(host.String(service, "Status"), "Passive");
    EXPECT_EQ(host.TooltipTitle(service), "still works");
}

TEST_F(TrayIconTest, WithoutABusOrShellEveryCallReturns) {
    {
        // No session bus at all.
        m_home.Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_bus.Folder() + "/missing");
        TrayIcon icon;
        Watch(icon);
        EXPECT_FALSE(icon.Add(Options(u"tip")));
        EXPECT_FALSE(icon.IsAdded());
        EXPECT_FALSE(icon.ShowBalloon({u"t", u"x", false}, [] {}));
        icon.SetTooltip(u"x");
        EXPECT_TRUE(m_seen.Has("tray add hidden=0 ok=0"));
        m_home.Set("DBUS_SESSION_BUS_ADDRESS", m_bus.Address());
    }
    // useShell false: success without touching the bus.
    StartWatcher();
    TrayIcon icon;
    Watch(icon);
    EXPECT_TRUE(icon.Add(HiddenOptions(u"tip", false)));
    EXPECT_TRUE(m_seen.Has("tray add hidden=1 ok=1"));
    EXPECT_TRUE(icon.ShowBalloon({u"t", u"x", false}, [] {}));
    icon.SetTooltip(u"changed");
    EXPECT_TRUE(m_seen.Has("tray modify tip"));
    Panel host;
    EXPECT_TRUE(host.RegisteredItems().empty());
}

TEST(DbusMenuModelTest, LabelsAndChoices) {
    const std::vector<std::pair<std::u16string, std::string>> labels = {
        {u"&Open", "_Open"}, {u"Save &As", "Save _As"},
        {u"R&&D", "R&D"},    {u"snake_case", "snake__case"},
        {u"end&", "end"},    {u"열기(&O)", "열기(_O)"},
    };
    for (const auto& [text, label] : labels)
        EXPECT_EQ(MenuLabel(text), label);

    auto radio = [](std::u16string text, std::uint32_t group, bool checked) {
        MenuItem item = Item(std::move(text), 0, MenuItemKind::Radio);
        item.radioGroup = group;
        item.checked = checked;
        return item;
    };
    const MenuItem a = radio(u"a", 1, true);
    const MenuItem b = radio(u"b", 1, false);
    const MenuItem c = radio(u"c", 1, false);
    const MenuItem other = radio(u"o", 2, true);
    MenuItem sub = Item(u"sub", 0, MenuItemKind::Submenu);
    sub.items = {a};
    DbusMenuModel model({a, b, c, other, sub});
    // Root, five items and the submenu's one child, depth first.
    ASSERT_EQ(model.Size(), 7u);
    EXPECT_EQ(model.Find(5)->children, std::vector<std::int32_t>{6});
    EXPECT_EQ(model.Choose(3), (std::vector<std::int32_t>{1, 3}));
    int checked = 0;
    for (std::int32_t id = 1; id <= 3; ++id)
        checked += model.Find(id)->item.checked ? 1 : 0;
    EXPECT_EQ(checked, 1);
    EXPECT_TRUE(model.Find(3)->item.checked);
    EXPECT_TRUE(model.Find(4)->item.checked); // another group
    EXPECT_TRUE(model.Find(6)->item.checked); // another level
}

TEST(IconPixmapTest, PremultipliedPixelsBecomeStraightNetworkOrder) {
    // Half-transparent pure green, premultiplied: B 0, G 128, R 0, A 128.
    const auto bitmap = SolidBitmap(2, 0, 128, 0, 128);
    const IconPixmap pixmap = PixmapFromBitmap(*bitmap);
    ASSERT_EQ(pixmap.argb.size(), 16u);
    EXPECT_EQ(pixmap.argb[0], 128);
    EXPECT_EQ(pixmap.argb[1], 0);
    EXPECT_EQ(pixmap.argb[2], 255);
    EXPECT_EQ(pixmap.argb[3], 0);
    // A provider draws each size itself; a missing size is left out.
    TrayIconImage drawn;
    drawn.provider = [](int size) {
        return size == 22 ? nullptr : SolidBitmap(size, 0, 0, 0, 255);
    };
    const auto pixmaps = RenderIconPixmaps(drawn);
    ASSERT_EQ(pixmaps.size(), kTrayIconSizes.size() - 1);
    EXPECT_EQ(pixmaps[1].width, 24);
    EXPECT_TRUE(RenderIconPixmaps({}).empty());
}

} // namespace
} // namespace Velto::Widget::Kit
