// The tray's menu as com.canonical.dbusmenu: the panel draws it from the
// layout and sends back clicks.
#include "widget/tray/tray_bus.h"

#include "widget/desktop/sd_bus_handles.h"

#include <systemd/sd-bus.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace Velto::Widget::Kit {
namespace {

constexpr std::uint32_t kDbusMenuVersion = 3;
constexpr const char* kUnknownItem = "com.canonical.dbusmenu.UnknownItem";

std::vector<std::string> ReadStrings(sd_bus_message* message) {
    std::vector<std::string> strings;
    if (sd_bus_message_enter_container(message, 'a', "s") < 0)
        return strings;
    const char* s = nullptr;
    while (sd_bus_message_read(message, "s", &s) > 0)
        strings.emplace_back(s);
    sd_bus_message_exit_container(message);
    return strings;
}

std::vector<std::int32_t> ReadIds(sd_bus_message* message) {
    std::vector<std::int32_t> ids;
    if (sd_bus_message_enter_container(message, 'a', "i") < 0)
        return ids;
    std::int32_t id = 0;
    while (sd_bus_message_read(message, "i", &id) > 0)
        ids.push_back(id);
    sd_bus_message_exit_container(message);
    return ids;
}

int AppendValue(sd_bus_message* reply, const DbusMenuModel::Value& value) {
    if (const auto* b = std::get_if<bool>(&value))
        return sd_bus_message_append(reply, "v", "b", static_cast<int>(*b));
    if (const auto* i = std::get_if<std::int32_t>(&value))
        return sd_bus_message_append(reply, "v", "i", *i);
    return sd_bus_message_append(reply, "v", "s", std::get<std::string>(value).c_str());
}

int AppendProperties(sd_bus_message* reply, const std::vector<DbusMenuModel::Property>& props) {
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    for (const auto& [name, value] : props) {
        if (r >= 0)
            r = sd_bus_message_open_container(reply, 'e', "sv");
        if (r >= 0)
            r = sd_bus_message_append(reply, "s", name.c_str());
        if (r >= 0)
            r = AppendValue(reply, value);
        if (r >= 0)
            r = sd_bus_message_close_container(reply);
    }
    return r < 0 ? r : sd_bus_message_close_container(reply);
}

} // namespace

const sd_bus_vtable* TrayBus::MenuVtable() {
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_PROPERTY("Version", "u", MenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("TextDirection", "s", MenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Status", "s", MenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IconThemePath", "as", MenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", OnGetLayout, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", OnGetGroupProperties,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("GetProperty", "is", "v", OnGetProperty, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Event", "isvu", "", OnEvent, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", OnEventGroup, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("AboutToShow", "i", "b", OnAboutToShow, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", OnAboutToShowGroup,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
        SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
        SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
        SD_BUS_VTABLE_END,
    };
    return vtable;
}

int TrayBus::MenuProperty(sd_bus*, const char*, const char*, const char* property,
                          sd_bus_message* reply, void*, sd_bus_error*) {
    const std::string_view name = property;
    if (name == "Version")
        return sd_bus_message_append(reply, "u", kDbusMenuVersion);
    if (name == "TextDirection")
        return sd_bus_message_append(reply, "s", "ltr");
    if (name == "Status")
        return sd_bus_message_append(reply, "s", "normal");
    if (name == "IconThemePath")
        return sd_bus_message_append(reply, "as", 0);
    return -ENOENT;
}

int TrayBus::AppendLayout(sd_bus_message* reply, const DbusMenuModel& model, std::int32_t id,
                          int depth, const std::vector<std::string>& names) const {
    const DbusMenuModel::Entry* entry = model.Find(id);
    int r = sd_bus_message_open_container(reply, 'r', "ia{sv}av");
    if (r >= 0)
        r = sd_bus_message_append(reply, "i", id);
    if (r >= 0)
        r = AppendProperties(reply, model.Properties(id, names));
    if (r >= 0)
        r = sd_bus_message_open_container(reply, 'a', "v");
    // A depth of -1 means all levels; 0 means this item alone.
    if (depth != 0) {
        for (const std::int32_t child : entry->children) {
            if (r >= 0)
                r = sd_bus_message_open_container(reply, 'v', "(ia{sv}av)");
            if (r >= 0)
                r = AppendLayout(reply, model, child, depth < 0 ? depth : depth - 1, names);
            if (r >= 0)
                r = sd_bus_message_close_container(reply);
        }
    }
    if (r >= 0)
        r = sd_bus_message_close_container(reply);
    return r < 0 ? r : sd_bus_message_close_container(reply);
}

int TrayBus::OnGetLayout(sd_bus_message* call, void* self, sd_bus_error* error) {
    const auto* bus = static_cast<const TrayBus*>(self);
    std::int32_t parent = 0;
    std::int32_t depth = -1;
    if (sd_bus_message_read(call, "ii", &parent, &depth) < 0)
        return -EINVAL;
    const std::vector<std::string> names = ReadStrings(call);

    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_return(call, &raw) < 0)
        return -ENOMEM;
    SdBusMessagePtr reply(raw);
    int r = 0;
    {
        const std::lock_guard lock(bus->m_mutex);
        if (bus->m_menu.Find(parent) == nullptr)
            return sd_bus_error_set(error, kUnknownItem, "no such menu item");
        r = sd_bus_message_append(reply.get(), "u", bus->m_menuRevision);
        if (r >= 0)
            r = bus->AppendLayout(reply.get(), bus->m_menu, parent, depth, names);
    }
    if (r < 0)
        return r;
    r = sd_bus_send(nullptr, reply.get(), nullptr);
    return r < 0 ? r : 1;
}

int TrayBus::OnGetGroupProperties(sd_bus_message* call, void* self, sd_bus_error*) {
    const auto* bus = static_cast<const TrayBus*>(self);
    std::vector<std::int32_t> ids = ReadIds(call);
    const std::vector<std::string> names = ReadStrings(call);

    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_return(call, &raw) < 0)
        return -ENOMEM;
    SdBusMessagePtr reply(raw);
    int r = sd_bus_message_open_container(reply.get(), 'a', "(ia{sv})");
    {
        const std::lock_guard lock(bus->m_mutex);
        // No ids asks for every item.
        if (ids.empty()) {
            for (std::size_t id = 0; id < bus->m_menu.Size(); ++id)
                ids.push_back(static_cast<std::int32_t>(id));
        }
        for (const std::int32_t id : ids) {
            if (r < 0 || bus->m_menu.Find(id) == nullptr)
                continue;
            r = sd_bus_message_open_container(reply.get(), 'r', "ia{sv}");
            if (r >= 0)
                r = sd_bus_message_append(reply.get(), "i", id);
            if (r >= 0)
                r = AppendProperties(reply.get(), bus->m_menu.Properties(id, names));
            if (r >= 0)
                r = sd_bus_message_close_container(reply.get());
        }
    }
    if (r >= 0)
        r = sd_bus_message_close_container(reply.get());
    if (r >= 0)
        r = sd_bus_send(nullptr, reply.get(), nullptr);
    return r < 0 ? r : 1;
}

int TrayBus::OnGetProperty(sd_bus_message* call, void* self, sd_bus_error* error) {
    const auto* bus = static_cast<const TrayBus*>(self);
    std::int32_t id = 0;
    const char* name = nullptr;
    if (sd_bus_message_read(call, "is", &id, &name) < 0)
        return -EINVAL;
    const std::string wanted = name;
    std::vector<DbusMenuModel::Property> props;
    {
        const std::lock_guard lock(bus->m_mutex);
        if (bus->m_menu.Find(id) == nullptr)
            return sd_bus_error_set(error, kUnknownItem, "no such menu item");
        props = bus->m_menu.Properties(id, std::span(&wanted, 1));
    }
    if (props.empty())
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "property not set");
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_return(call, &raw) < 0)
        return -ENOMEM;
    SdBusMessagePtr reply(raw);
    int r = AppendValue(reply.get(), props.front().second);
    if (r >= 0)
        r = sd_bus_send(nullptr, reply.get(), nullptr);
    return r < 0 ? r : 1;
}

void TrayBus::HandleMenuEvent(std::int32_t id, const char* name) {
    if (std::strcmp(name, "clicked") != 0)
        return;
    TrayBusEvent event;
    std::vector<DbusMenuModel::Property> changed;
    std::vector<std::int32_t> changedIds;
    {
        const std::lock_guard lock(m_mutex);
        const DbusMenuModel::Entry* entry = m_menu.Find(id);
        if (entry == nullptr || id == 0 || !entry->item.IsSelectable() || entry->item.IsSubmenu())
            return;
        changedIds = m_menu.Choose(id);
        event.command = m_menu.Find(id)->item.command;
    }
    if (!changedIds.empty()) {
        // Check marks the panel shows follow the choice.
        sd_bus_message* raw = nullptr;
        if (sd_bus_message_new_signal(m_bus, &raw, "/MenuBar", "com.canonical.dbusmenu",
                                      "ItemsPropertiesUpdated") >= 0) {
            SdBusMessagePtr signal(raw);
            int r = sd_bus_message_open_container(signal.get(), 'a', "(ia{sv})");
            {
                const std::lock_guard lock(m_mutex);
                for (const std::int32_t changedId : changedIds) {
                    const std::string state = "toggle-state";
                    if (r >= 0)
                        r = sd_bus_message_open_container(signal.get(), 'r', "ia{sv}");
                    if (r >= 0)
                        r = sd_bus_message_append(signal.get(), "i", changedId);
                    if (r >= 0)
                        r = AppendProperties(signal.get(),
                                             m_menu.Properties(changedId, std::span(&state, 1)));
                    if (r >= 0)
                        r = sd_bus_message_close_container(signal.get());
                }
            }
            if (r >= 0)
                r = sd_bus_message_close_container(signal.get());
            if (r >= 0)
                r = sd_bus_message_append(signal.get(), "a(ias)", 0);
            if (r >= 0)
                sd_bus_send(m_bus, signal.get(), nullptr);
        }
    }
    if (!event.command)
        return;
    event.kind = TrayBusEvent::Kind::MenuCommand;
    Deliver(std::move(event));
}

int TrayBus::OnEvent(sd_bus_message* call, void* self, sd_bus_error*) {
    auto* bus = static_cast<TrayBus*>(self);
    std::int32_t id = 0;
    const char* name = nullptr;
    if (sd_bus_message_read(call, "is", &id, &name) < 0)
        return -EINVAL;
    const std::string event = name;
    const int r = sd_bus_reply_method_return(call, "");
    bus->HandleMenuEvent(id, event.c_str());
    return r < 0 ? r : 1;
}

int TrayBus::OnEventGroup(sd_bus_message* call, void* self, sd_bus_error*) {
    auto* bus = static_cast<TrayBus*>(self);
    std::vector<std::pair<std::int32_t, std::string>> events;
    std::vector<std::int32_t> unknown;
    if (sd_bus_message_enter_container(call, 'a', "(isvu)") < 0)
        return -EINVAL;
    while (sd_bus_message_enter_container(call, 'r', "isvu") > 0) {
        std::int32_t id = 0;
        const char* name = nullptr;
        if (sd_bus_message_read(call, "is", &id, &name) < 0 || sd_bus_message_skip(call, "vu") < 0)
            return -EINVAL;
        events.emplace_back(id, name);
        sd_bus_message_exit_container(call);
    }
    sd_bus_message_exit_container(call);
    {
        const std::lock_guard lock(bus->m_mutex);
        for (const auto& [id, name] : events) {
            if (bus->m_menu.Find(id) == nullptr)
                unknown.push_back(id);
        }
    }
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_return(call, &raw) < 0)
        return -ENOMEM;
    SdBusMessagePtr reply(raw);
    int r = sd_bus_message_append_array(reply.get(), 'i', unknown.data(),
                                        unknown.size() * sizeof(std::int32_t));
    if (r >= 0)
        r = sd_bus_send(nullptr, reply.get(), nullptr);
    for (const auto& [id, name] : events)
        bus->HandleMenuEvent(id, name.c_str());
    return r < 0 ? r : 1;
}

bool TrayBus::RefreshMenu() {
    std::uint32_t before = 0;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_menuRefresh)
            return false;
        before = m_menuRevision;
    }
    // The UI rebuilds the menu for the program's current state; wait a
    // moment for it so the panel opens the fresh one. The UI never waits for
    // this thread, so the wait cannot close a circle.
    struct Done {
        std::mutex mutex;
        std::condition_variable changed;
        bool done{false};
    };
    auto done = std::make_shared<Done>();
    TrayBusEvent event;
    event.kind = TrayBusEvent::Kind::MenuAboutToShow;
    event.done = [done] {
        const std::lock_guard lock(done->mutex);
        done->done = true;
        done->changed.notify_all();
    };
    Deliver(std::move(event));
    {
        std::unique_lock lock(done->mutex);
        done->changed.wait_for(lock, std::chrono::milliseconds(kMenuRefreshWaitMs),
                               [&] { return done->done; });
    }
    const std::lock_guard lock(m_mutex);
    return m_menuRevision != before;
}

int TrayBus::OnAboutToShow(sd_bus_message* call, void* self, sd_bus_error*) {
    auto* bus = static_cast<TrayBus*>(self);
    std::int32_t id = 0;
    if (sd_bus_message_read(call, "i", &id) < 0)
        return -EINVAL;
    // The whole menu is rebuilt when its top level opens.
    const bool changed = id == 0 && bus->RefreshMenu();
    return sd_bus_reply_method_return(call, "b", static_cast<int>(changed));
}

int TrayBus::OnAboutToShowGroup(sd_bus_message* call, void* self, sd_bus_error*) {
    auto* bus = static_cast<TrayBus*>(self);
    const std::vector<std::int32_t> ids = ReadIds(call);
    std::vector<std::int32_t> updates;
    std::vector<std::int32_t> unknown;
    bool root = false;
    {
        const std::lock_guard lock(bus->m_mutex);
        for (const std::int32_t id : ids) {
            if (bus->m_menu.Find(id) == nullptr)
                unknown.push_back(id);
            root = root || id == 0;
        }
    }
    if (root && bus->RefreshMenu())
        updates.push_back(0);
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_return(call, &raw) < 0)
        return -ENOMEM;
    SdBusMessagePtr reply(raw);
    int r = sd_bus_message_append_array(reply.get(), 'i', updates.data(),
                                        updates.size() * sizeof(std::int32_t));
    if (r >= 0)
        r = sd_bus_message_append_array(reply.get(), 'i', unknown.data(),
                                        unknown.size() * sizeof(std::int32_t));
    if (r >= 0)
        r = sd_bus_send(nullptr, reply.get(), nullptr);
    return r < 0 ? r : 1;
}

} // namespace Velto::Widget::Kit
