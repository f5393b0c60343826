#pragma once

// The panel's side of a tray icon, as tests read it over the session bus: the
// items the StatusNotifierWatcher lists and an item's properties. Header
// only; the test links libsystemd.

#include <systemd/sd-bus.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace Velto::Testing {

class PanelBusReader {
public:
    PanelBusReader() {
        sd_bus* bus = nullptr;
        if (sd_bus_open_user(&bus) >= 0)
            m_bus = bus;
    }
    ~PanelBusReader() { sd_bus_flush_close_unref(m_bus); }
    PanelBusReader(const PanelBusReader&) = delete;
    PanelBusReader& operator=(const PanelBusReader&) = delete;

    sd_bus* Bus() const { return m_bus; }

    // The watcher's RegisteredStatusNotifierItems.
    std::vector<std::string> RegisteredItems() const {
        std::vector<std::string> items;
        sd_bus_message* reply = nullptr;
        if (sd_bus_get_property(m_bus, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems",
                                nullptr, &reply, "as") < 0)
            return items;
        sd_bus_message_enter_container(reply, 'a', "s");
        const char* item = nullptr;
        while (sd_bus_message_read(reply, "s", &item) > 0)
            items.emplace_back(item);
        sd_bus_message_unref(reply);
        return items;
    }

    // A string property of the item; none when the item does not answer.
    std::optional<std::string> ItemString(const std::string& service, const char* property) const {
        char* value = nullptr;
        if (sd_bus_get_property_string(m_bus, service.c_str(), "/StatusNotifierItem",
                                       "org.kde.StatusNotifierItem", property, nullptr, &value) < 0)
            return std::nullopt;
        std::string copy = value;
        std::free(value);
        return copy;
    }

    // The title of the item's tooltip; none when the item does not answer.
    std::optional<std::string> TooltipTitle(const std::string& service) const {
        sd_bus_message* reply = nullptr;
        if (sd_bus_get_property(m_bus, service.c_str(), "/StatusNotifierItem",
                                "org.kde.StatusNotifierItem", "ToolTip", nullptr, &reply,
                                "(sa(iiay)ss)") < 0)
            return std::nullopt;
        const char* icon = nullptr;
        const char* title = nullptr;
        const char* text = nullptr;
        sd_bus_message_enter_container(reply, 'r', "sa(iiay)ss");
        sd_bus_message_read(reply, "s", &icon);
        sd_bus_message_skip(reply, "a(iiay)");
        sd_bus_message_read(reply, "ss", &title, &text);
        std::string copy = title != nullptr ? title : "";
        sd_bus_message_unref(reply);
        return copy;
    }

private:
    sd_bus* m_bus{nullptr};
};

} // namespace Velto::Testing
