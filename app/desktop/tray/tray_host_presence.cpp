#include "app/desktop/tray/tray_host_presence.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>

namespace App {
namespace {

constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr std::uint64_t kMicrosecondsPerMs = 1000;

struct BusCloser {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};

} // namespace

bool TrayHostPresent() {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0)
        return false;
    const std::unique_ptr<sd_bus, BusCloser> bus{raw};
    sd_bus_set_method_call_timeout(bus.get(), kTrayHostQueryMs * kMicrosecondsPerMs);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int registered = 0;
    const int result =
        sd_bus_get_property_trivial(bus.get(), kWatcherName, kWatcherPath, kWatcherName,
                                    "IsStatusNotifierHostRegistered", &error, 'b', &registered);
    sd_bus_error_free(&error);
    return result >= 0 && registered != 0;
}

} // namespace App
