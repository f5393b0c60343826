#include "widget/tray/tray_bus.h"

#include "widget/desktop/sd_bus_handles.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>

namespace Velto::Widget::Kit {
namespace {

constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";
constexpr const char* kMenuInterface = "com.canonical.dbusmenu";
constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kNotificationsInterface = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";

// A watcher that is slow to answer does not hold the icon up for longer.
constexpr std::uint64_t kRegisterCallUsec = 2'000'000;

// Numbers the items of this process, for their bus names.
std::atomic<unsigned> g_itemCounter{0};

} // namespace

TrayBus::TrayBus(Passkey, TrayBusState state, std::vector<MenuItem> menu, EventSink sink)
    : m_sink(std::move(sink)), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      m_state(std::move(state)), m_menu(menu) {
    // The name the item lives under, unique per process and icon.
    m_serviceName = "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-" +
                    std::to_string(++g_itemCounter);
}

TrayBus::Started TrayBus::Start(TrayBusState state, std::vector<MenuItem> menu, EventSink sink) {
    Started result;
    auto bus =
        std::make_unique<TrayBus>(Passkey{}, std::move(state), std::move(menu), std::move(sink));
    if (!bus->m_wake)
        return result;

    struct Outcome {
        std::mutex mutex;
        std::condition_variable changed;
        bool connectedKnown{false};
        bool connected{false};
        bool registeredKnown{false};
        bool registered{false};
    };
    auto outcome = std::make_shared<Outcome>();
    bus->m_thread = std::thread([self = bus.get(), outcome] {
        self->Run([outcome](bool connected, bool registered) {
            const std::lock_guard lock(outcome->mutex);
            if (!outcome->connectedKnown) {
                outcome->connectedKnown = true;
                outcome->connected = connected;
                if (!connected)
                    outcome->registeredKnown = true;
            } else {
                outcome->registeredKnown = true;
                outcome->registered = registered;
            }
            outcome->changed.notify_all();
        });
    });

    // One deadline for connecting and for the watcher's answer: a bus or
    // watcher that hangs does not hold the UI thread for longer.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kRegisterWaitMs);
    std::unique_lock lock(outcome->mutex);
    outcome->changed.wait_until(lock, deadline, [&] { return outcome->registeredKnown; });
    if (outcome->connectedKnown && !outcome->connected) {
        lock.unlock();
        return result; // the destructor joins the finished thread
    }
    result.registered = outcome->registered;
    lock.unlock();
    result.bus = std::move(bus);
    return result;
}

TrayBus::~TrayBus() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    if (m_wake) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake.Get(), &one, sizeof(one));
    }
    if (m_thread.joinable())
        m_thread.join();
}

bool TrayBus::Connect() {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0)
        return false;
    m_bus = raw;
    if (sd_bus_add_object_vtable(m_bus, nullptr, kItemPath, kItemInterface, ItemVtable(), this) <
            0 ||
        sd_bus_add_object_vtable(m_bus, nullptr, kMenuPath, kMenuInterface, MenuVtable(), this) < 0)
        return false;
    if (sd_bus_request_name(m_bus, m_serviceName.c_str(), 0) < 0)
        return false;
    // A watcher that starts (a panel that starts late or restarts) gets the
    // item registered again.
    const std::string watcherRule = std::string("type='signal',sender='org.freedesktop.DBus',"
                                                "interface='org.freedesktop.DBus',member="
                                                "'NameOwnerChanged',arg0='") +
                                    kWatcherName + "'";
    if (sd_bus_add_match(m_bus, nullptr, watcherRule.c_str(), OnWatcherOwner, this) < 0)
        return false;
    // Clicks on and closing of our notifications.
    sd_bus_match_signal(m_bus, nullptr, nullptr, kNotificationsPath, kNotificationsInterface,
                        "ActionInvoked", OnNotificationSignal, this);
    sd_bus_match_signal(m_bus, nullptr, nullptr, kNotificationsPath, kNotificationsInterface,
                        "NotificationClosed", OnNotificationSignal, this);
    return true;
}

void TrayBus::Register() {
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(m_bus, &raw, kWatcherName, kWatcherPath, kWatcherName,
                                       "RegisterStatusNotifierItem") < 0)
        return;
    SdBusMessagePtr call(raw);
    if (sd_bus_message_append(call.get(), "s", m_serviceName.c_str()) < 0 ||
        sd_bus_call_async(m_bus, nullptr, call.get(), OnRegisterReply, this, kRegisterCallUsec) < 0)
        OnRegisterReply(nullptr, this, nullptr);
}

int TrayBus::OnRegisterReply(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto* bus = static_cast<TrayBus*>(self);
    const bool ok = reply != nullptr && !sd_bus_message_is_method_error(reply, nullptr);
    if (bus->m_firstRegistration) {
        bus->m_firstRegistration = false;
        bus->m_started(true, ok);
        return 0;
    }
    TrayBusEvent event;
    event.kind = TrayBusEvent::Kind::Registered;
    event.ok = ok;
    bus->Deliver(std::move(event));
    return 0;
}

int TrayBus::OnWatcherOwner(sd_bus_message* signal, void* self, sd_bus_error*) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(signal, "sss", &name, &oldOwner, &newOwner) < 0)
        return 0;
    if (std::strcmp(name, kWatcherName) == 0 && newOwner != nullptr && newOwner[0] != '\0')
        static_cast<TrayBus*>(self)->Register();
    return 0;
}

void TrayBus::Run(std::function<void(bool, bool)> started) {
    m_started = std::move(started);
    const bool connected = Connect();
    if (!connected) {
        m_started(false, false);
        if (m_bus != nullptr)
            sd_bus_flush_close_unref(m_bus);
        m_bus = nullptr;
        return;
    }
    m_started(true, false);
    Register();

    for (;;) {
        {
            const std::lock_guard lock(m_mutex);
            if (m_stop)
                break;
        }
        EmitQueued();
        int r = 0;
        while ((r = sd_bus_process(m_bus, nullptr)) > 0) {
        }
        if (r < 0)
            break; // the bus went away; the icon is gone with it
        std::uint64_t deadline = 0;
        int timeoutMs = -1;
        if (sd_bus_get_timeout(m_bus, &deadline) >= 0 && deadline != UINT64_MAX) {
            timespec now{};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            const std::uint64_t nowUsec =
                static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
            timeoutMs =
                deadline <= nowUsec ? 0 : static_cast<int>((deadline - nowUsec + 999) / 1000);
        }
        pollfd fds[2] = {{sd_bus_get_fd(m_bus), static_cast<short>(sd_bus_get_events(m_bus)), 0},
                         {m_wake.Get(), POLLIN, 0}};
        if (::poll(fds, 2, timeoutMs) < 0 && errno != EINTR)
            break;
        if (fds[1].revents != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_wake.Get(), &count, sizeof(count));
        }
    }
    if (m_firstRegistration) {
        m_firstRegistration = false;
        m_started(true, false);
    }
    sd_bus_flush_close_unref(m_bus);
    m_bus = nullptr;
}

void TrayBus::Queue(unsigned signals) {
    {
        const std::lock_guard lock(m_mutex);
        m_signals |= signals;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake.Get(), &one, sizeof(one));
}

void TrayBus::EmitQueued() {
    unsigned signals = 0;
    std::uint32_t revision = 0;
    std::vector<PendingBalloon> balloons;
    {
        const std::lock_guard lock(m_mutex);
        signals = std::exchange(m_signals, 0);
        revision = m_menuRevision;
        balloons.swap(m_balloons);
    }
    if (signals & kNewToolTip)
        sd_bus_emit_signal(m_bus, kItemPath, kItemInterface, "NewToolTip", "");
    if (signals & kNewIcon)
        sd_bus_emit_signal(m_bus, kItemPath, kItemInterface, "NewIcon", "");
    if (signals & kNewStatus) {
        bool hidden = false;
        {
            const std::lock_guard lock(m_mutex);
            hidden = m_state.hidden;
        }
        sd_bus_emit_signal(m_bus, kItemPath, kItemInterface, "NewStatus", "s",
                           hidden ? "Passive" : "Active");
    }
    if (signals & kLayoutUpdated)
        sd_bus_emit_signal(m_bus, kMenuPath, kMenuInterface, "LayoutUpdated", "ui", revision,
                           std::int32_t{0});
    if (!balloons.empty())
        SendNotifications(std::move(balloons));
}

void TrayBus::SetTooltip(std::string tooltip) {
    {
        const std::lock_guard lock(m_mutex);
        m_state.tooltip = std::move(tooltip);
    }
    Queue(kNewToolTip);
}

void TrayBus::SetPixmaps(std::vector<IconPixmap> pixmaps) {
    {
        const std::lock_guard lock(m_mutex);
        m_state.pixmaps = std::move(pixmaps);
    }
    Queue(kNewIcon);
}

void TrayBus::SetHidden(bool hidden) {
    {
        const std::lock_guard lock(m_mutex);
        m_state.hidden = hidden;
    }
    Queue(kNewStatus);
}

void TrayBus::SetMenu(const std::vector<MenuItem>& menu) {
    DbusMenuModel model(menu);
    {
        const std::lock_guard lock(m_mutex);
        m_menu = std::move(model);
        ++m_menuRevision;
    }
    Queue(kLayoutUpdated);
}

void TrayBus::SetMenuRefresh(bool enabled) {
    const std::lock_guard lock(m_mutex);
    m_menuRefresh = enabled;
}

void TrayBus::Notify(const TrayBalloon& balloon, std::uint64_t number) {
    {
        const std::lock_guard lock(m_mutex);
        m_balloons.push_back({balloon, number});
    }
    Queue(0);
}

void TrayBus::Deliver(TrayBusEvent event) const {
    if (m_sink)
        m_sink(std::move(event));
}

} // namespace Velto::Widget::Kit
