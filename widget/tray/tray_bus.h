#pragma once

#include "base/unique_fd.h"
#include "widget/desktop/screen_point.h"
#include "widget/tray/dbus_menu_model.h"
#include "widget/tray/icon_pixmap.h"
#include "widget/tray/tray_balloon.h"

#include <systemd/sd-bus.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Velto::Widget::Kit {

// What the tray's bus thread reports. Events are delivered on the bus thread;
// the receiver hands them to the UI thread.
struct TrayBusEvent {
    enum class Kind {
        Activate,          // primary click on the icon
        SecondaryActivate, // middle click
        ContextMenu,       // the panel asks the application to show its menu
        Scroll,
        MenuCommand,     // a menu item was clicked: run `command`
        MenuAboutToShow, // the menu is about to open: call `done` once it is current
        BalloonClicked,
        BalloonClosed,
        Registered, // the watcher (re)appeared and answered; `ok` tells how
    };
    Kind kind{Kind::Activate};
    ScreenPoint point;
    std::int32_t scrollDelta{0};
    bool ok{false};
    std::uint64_t balloon{0};
    std::function<void()> command;
    std::function<void()> done;
};

// What the item shows.
struct TrayBusState {
    std::string id;
    std::string tooltip;
    bool hidden{false};
    std::vector<IconPixmap> pixmaps;
};

// A StatusNotifierItem with its dbusmenu on a session-bus connection of its
// own, served by a thread of its own. It registers with the
// StatusNotifierWatcher, registers again whenever a watcher appears (a
// panel that starts or restarts), and shows notifications through
// org.freedesktop.Notifications. Setters may be called from any thread;
// they never wait for the bus.
class TrayBus {
public:
    using EventSink = std::function<void(TrayBusEvent)>;

    // How long Start waits for the watcher's answer to the first
    // registration before it reports the icon as not registered (it goes on
    // waiting and registers whenever the answer or a watcher comes).
    static constexpr int kRegisterWaitMs = 3000;
    // How long the menu's AboutToShow waits for the UI to refresh the menu.
    static constexpr int kMenuRefreshWaitMs = 500;

    struct Started;
    // None when there is no session bus; otherwise a running bus whose
    // `registered` says whether the watcher took the item.
    static Started Start(TrayBusState state, std::vector<MenuItem> menu, EventSink sink);

    ~TrayBus();
    TrayBus(const TrayBus&) = delete;
    TrayBus& operator=(const TrayBus&) = delete;

    void SetTooltip(std::string tooltip);
    void SetPixmaps(std::vector<IconPixmap> pixmaps);
    void SetHidden(bool hidden);
    void SetMenu(const std::vector<MenuItem>& menu);
    // Whether AboutToShow asks the UI for a fresh menu.
    void SetMenuRefresh(bool enabled);
    // Shows a notification; its click and close come back as events with
    // this number.
    void Notify(const TrayBalloon& balloon, std::uint64_t number);

    // The bus name the item is exported under.
    const std::string& ServiceName() const { return m_serviceName; }

private:
    struct Passkey {};

public:
    TrayBus(Passkey, TrayBusState state, std::vector<MenuItem> menu, EventSink sink);

private:
    enum Signal : unsigned {
        kNewToolTip = 1,
        kNewIcon = 2,
        kNewStatus = 4,
        kLayoutUpdated = 8,
    };
    struct PendingBalloon {
        TrayBalloon balloon;
        std::uint64_t number{0};
    };

    void Run(std::function<void(bool connected, bool registered)> started);
    bool Connect();
    void Register();
    void Queue(unsigned signals);
    void EmitQueued();
    void SendNotifications(std::vector<PendingBalloon> balloons);
    void Deliver(TrayBusEvent event) const;

    // Bus callbacks (tray_bus_item.cpp, tray_bus_menu.cpp, tray_bus.cpp).
    static const sd_bus_vtable* ItemVtable();
    static const sd_bus_vtable* MenuVtable();
    static int ItemProperty(sd_bus*, const char*, const char*, const char* property,
                            sd_bus_message* reply, void* self, sd_bus_error*);
    static int OnItemCall(sd_bus_message* call, void* self, sd_bus_error*);
    static int MenuProperty(sd_bus*, const char*, const char*, const char* property,
                            sd_bus_message* reply, void* self, sd_bus_error*);
    static int OnGetLayout(sd_bus_message* call, void* self, sd_bus_error*);
    static int OnGetGroupProperties(sd_bus_message* call, void* self, sd_bus_error*);
    static int OnGetProperty(sd_bus_message* call, void* self, sd_bus_error* error);
    static int OnEvent(sd_bus_message* call, void* self, sd_bus_error*);
    static int OnEventGroup(sd_bus_message* call, void* self, sd_bus_error*);
    static int OnAboutToShow(sd_bus_message* call, void* self, sd_bus_error*);
    static int OnAboutToShowGroup(sd_bus_message* call, void* self, sd_bus_error*);
    static int OnRegisterReply(sd_bus_message* reply, void* self, sd_bus_error*);
    static int OnWatcherOwner(sd_bus_message* signal, void* self, sd_bus_error*);
    static int OnNotifyReply(sd_bus_message* reply, void* self, sd_bus_error*);
    static int OnNotificationSignal(sd_bus_message* signal, void* self, sd_bus_error*);

    // Menu helpers, bus thread only.
    void HandleMenuEvent(std::int32_t id, const char* name);
    bool RefreshMenu();
    int AppendLayout(sd_bus_message* reply, const DbusMenuModel& model, std::int32_t id, int depth,
                     const std::vector<std::string>& names) const;

    EventSink m_sink;
    std::string m_serviceName;
    std::thread m_thread;
    UniqueFd m_wake;
    sd_bus* m_bus{nullptr}; // owned by the bus thread

    mutable std::mutex m_mutex;
    // Guarded by m_mutex: what the item publishes, and the work queued for
    // the bus thread.
    TrayBusState m_state;
    DbusMenuModel m_menu;
    std::uint32_t m_menuRevision{1};
    bool m_menuRefresh{false};
    unsigned m_signals{0};
    std::vector<PendingBalloon> m_balloons;
    bool m_stop{false};

    // Bus thread only.
    bool m_firstRegistration{true};
    std::function<void(bool, bool)> m_started;
    // Open notifications by their server id, with the number each was
    // shown under; the newest is replaced by the next one.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> m_notifications;
    std::uint32_t m_newestNotification{0};
};

struct TrayBus::Started {
    std::unique_ptr<TrayBus> bus;
    bool registered{false};
};

} // namespace Velto::Widget::Kit
