#include "widget/window/appearance_watcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>

namespace Velto::Widget {
namespace {

constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kPortalSettings = "org.freedesktop.portal.Settings";

struct BusDeleter {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct SlotDeleter {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};

int OnSettingChanged(sd_bus_message* message, void* userdata, sd_bus_error*) {
    const char* settingNamespace = nullptr;
    const char* key = nullptr;
    if (sd_bus_message_read(message, "ss", &settingNamespace, &key) < 0)
        return 0;
    if (AppearanceWatcher::ChangesTheme(settingNamespace, key))
        (*static_cast<std::function<void()>*>(userdata))();
    return 0;
}

} // namespace

AppearanceWatcher::AppearanceWatcher(std::function<void()> changed)
    : m_changed(std::move(changed)) {}

AppearanceWatcher::~AppearanceWatcher() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        (void)::write(m_stopFd, &one, sizeof(one));
        m_thread.join();
    }
    if (m_stopFd >= 0)
        ::close(m_stopFd);
}

bool AppearanceWatcher::ChangesTheme(std::string_view settingNamespace, std::string_view key) {
    if (settingNamespace == "org.freedesktop.appearance")
        return key == "color-scheme" || key == "accent-color" || key == "contrast";
    // Portals of GNOME relay its own keys as well.
    if (settingNamespace == "org.gnome.desktop.interface")
        return key == "color-scheme";
    if (settingNamespace == "org.gnome.desktop.a11y.interface")
        return key == "high-contrast";
    return false;
}

bool AppearanceWatcher::Start() {
    if (m_thread.joinable() || !m_changed)
        return false;
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0)
        return false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

bool AppearanceWatcher::IsListening() const {
    return m_listening.load();
}

void AppearanceWatcher::Run() {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0)
        return;
    std::unique_ptr<sd_bus, BusDeleter> bus(raw);
    sd_bus_slot* rawSlot = nullptr;
    if (sd_bus_match_signal(bus.get(), &rawSlot, kPortalService, kPortalPath, kPortalSettings,
                            "SettingChanged", OnSettingChanged, &m_changed) < 0)
        return;
    std::unique_ptr<sd_bus_slot, SlotDeleter> slot(rawSlot);
    // The synchronous AddMatch has been answered: signals from now on arrive.
    m_listening.store(true);
    for (;;) {
        int r = 0;
        while ((r = sd_bus_process(bus.get(), nullptr)) > 0) {
        }
        if (r < 0)
            break;
        pollfd fds[2] = {
            {sd_bus_get_fd(bus.get()), static_cast<short>(sd_bus_get_events(bus.get())), 0},
            {m_stopFd, POLLIN, 0}};
        std::uint64_t timeout = 0;
        int timeoutMs = -1;
        if (sd_bus_get_timeout(bus.get(), &timeout) > 0 && timeout != UINT64_MAX)
            timeoutMs = 100;
        if (::poll(fds, 2, timeoutMs) < 0 && errno != EINTR)
            break;
        if ((fds[1].revents & POLLIN) != 0)
            break;
    }
    m_listening.store(false);
}

} // namespace Velto::Widget
