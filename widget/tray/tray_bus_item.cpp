// The StatusNotifierItem object and the notifications of the tray's bus.
#include "widget/tray/tray_bus.h"

#include "base/utf.h"
#include "widget/desktop/sd_bus_handles.h"

#include <algorithm>
#include <cstring>

namespace Velto::Widget::Kit {
namespace {

constexpr const char* kNotificationsName = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
constexpr const char* kDefaultAction = "default";
// The system's icon for applications, shown when no picture was given.
constexpr const char* kFallbackIconName = "application-x-executable";
constexpr std::uint64_t kNotifyCallUsec = 5'000'000;
constexpr std::size_t kMaxTrackedNotifications = 8;
constexpr std::int32_t kExpireAsServerDecides = -1;
constexpr std::uint8_t kUrgencyNormal = 1;

int AppendPixmaps(sd_bus_message* reply, const std::vector<IconPixmap>& pixmaps) {
    int r = sd_bus_message_open_container(reply, 'a', "(iiay)");
    for (const IconPixmap& pixmap : pixmaps) {
        if (r < 0)
            return r;
        r = sd_bus_message_open_container(reply, 'r', "iiay");
        if (r >= 0)
            r = sd_bus_message_append(reply, "ii", pixmap.width, pixmap.height);
        if (r >= 0)
            r = sd_bus_message_append_array(reply, 'y', pixmap.argb.data(), pixmap.argb.size());
        if (r >= 0)
            r = sd_bus_message_close_container(reply);
    }
    return r < 0 ? r : sd_bus_message_close_container(reply);
}

struct NotifyCall {
    TrayBus* bus{nullptr};
    std::uint64_t number{0};
};

void FreeNotifyCall(void* userdata) {
    delete static_cast<NotifyCall*>(userdata);
}

} // namespace

const sd_bus_vtable* TrayBus::ItemVtable() {
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_PROPERTY("Category", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Id", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Title", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Status", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_EXPLICIT),
        SD_BUS_PROPERTY("WindowId", "i", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IconName", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_EXPLICIT),
        SD_BUS_PROPERTY("IconPixmap", "a(iiay)", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_EXPLICIT),
        SD_BUS_PROPERTY("OverlayIconName", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", ItemProperty, 0,
                        SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("AttentionIconName", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", ItemProperty, 0,
                        SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("AttentionMovieName", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", ItemProperty, 0,
                        SD_BUS_VTABLE_PROPERTY_EXPLICIT),
        SD_BUS_PROPERTY("ItemIsMenu", "b", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Menu", "o", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_METHOD("Activate", "ii", "", OnItemCall, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("SecondaryActivate", "ii", "", OnItemCall, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("ContextMenu", "ii", "", OnItemCall, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Scroll", "is", "", OnItemCall, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("NewTitle", "", 0),
        SD_BUS_SIGNAL("NewIcon", "", 0),
        SD_BUS_SIGNAL("NewAttentionIcon", "", 0),
        SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
        SD_BUS_SIGNAL("NewToolTip", "", 0),
        SD_BUS_SIGNAL("NewStatus", "s", 0),
        SD_BUS_VTABLE_END,
    };
    return vtable;
}

int TrayBus::ItemProperty(sd_bus*, const char*, const char*, const char* property,
                          sd_bus_message* reply, void* self, sd_bus_error*) {
    const auto* bus = static_cast<const TrayBus*>(self);
    const std::string_view name = property;
    if (name == "Category")
        return sd_bus_message_append(reply, "s", "ApplicationStatus");
    if (name == "WindowId")
        return sd_bus_message_append(reply, "i", std::int32_t{0});
    if (name == "ItemIsMenu")
        return sd_bus_message_append(reply, "b", 0);
    if (name == "Menu")
        return sd_bus_message_append(reply, "o", "/MenuBar");
    if (name == "OverlayIconName" || name == "AttentionIconName" || name == "AttentionMovieName")
        return sd_bus_message_append(reply, "s", "");
    if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap")
        return AppendPixmaps(reply, {});

    const std::lock_guard lock(bus->m_mutex);
    const TrayBusState& state = bus->m_state;
    if (name == "Id" || name == "Title")
        return sd_bus_message_append(reply, "s", state.id.c_str());
    if (name == "Status")
        return sd_bus_message_append(reply, "s", state.hidden ? "Passive" : "Active");
    if (name == "IconName")
        return sd_bus_message_append(reply, "s", state.pixmaps.empty() ? kFallbackIconName : "");
    if (name == "IconPixmap")
        return AppendPixmaps(reply, state.pixmaps);
    if (name == "ToolTip") {
        int r = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
        if (r >= 0)
            r = sd_bus_message_append(reply, "s", "");
        if (r >= 0)
            r = AppendPixmaps(reply, {});
        if (r >= 0)
            r = sd_bus_message_append(reply, "ss", state.tooltip.c_str(), "");
        return r < 0 ? r : sd_bus_message_close_container(reply);
    }
    return -ENOENT;
}

int TrayBus::OnItemCall(sd_bus_message* call, void* self, sd_bus_error*) {
    const auto* bus = static_cast<const TrayBus*>(self);
    const std::string_view member = sd_bus_message_get_member(call);
    TrayBusEvent event;
    if (member == "Scroll") {
        const char* orientation = nullptr;
        if (sd_bus_message_read(call, "is", &event.scrollDelta, &orientation) < 0)
            return -EINVAL;
        event.kind = TrayBusEvent::Kind::Scroll;
    } else {
        if (sd_bus_message_read(call, "ii", &event.point.x, &event.point.y) < 0)
            return -EINVAL;
        event.kind = member == "Activate"            ? TrayBusEvent::Kind::Activate
                     : member == "SecondaryActivate" ? TrayBusEvent::Kind::SecondaryActivate
                                                     : TrayBusEvent::Kind::ContextMenu;
    }
    // Answer first: the handler runs later on the UI thread.
    const int r = sd_bus_reply_method_return(call, "");
    bus->Deliver(std::move(event));
    return r < 0 ? r : 1;
}

void TrayBus::SendNotifications(std::vector<PendingBalloon> balloons) {
    std::string appName;
    {
        const std::lock_guard lock(m_mutex);
        appName = m_state.id;
    }
    for (const PendingBalloon& pending : balloons) {
        sd_bus_message* raw = nullptr;
        if (sd_bus_message_new_method_call(m_bus, &raw, kNotificationsName, kNotificationsPath,
                                           kNotificationsName, "Notify") < 0)
            continue;
        SdBusMessagePtr call(raw);
        const std::string summary = Utf16ToUtf8(pending.balloon.title);
        const std::string body = Utf16ToUtf8(pending.balloon.text);
        const char* icon = pending.balloon.isError ? "dialog-error" : "dialog-information";
        // One notification at a time, as one balloon: the newest replaces
        // the one still showing.
        int r = sd_bus_message_append(call.get(), "susss", appName.c_str(), m_newestNotification,
                                      icon, summary.c_str(), body.c_str());
        if (r >= 0)
            r = sd_bus_message_append(call.get(), "as", 2, kDefaultAction, summary.c_str());
        if (r >= 0)
            r = sd_bus_message_append(call.get(), "a{sv}", 1, "urgency", "y", kUrgencyNormal);
        if (r >= 0)
            r = sd_bus_message_append(call.get(), "i", kExpireAsServerDecides);
        sd_bus_slot* slot = nullptr;
        auto* userdata = new NotifyCall{this, pending.number};
        if (r >= 0)
            r = sd_bus_call_async(m_bus, &slot, call.get(), OnNotifyReply, userdata,
                                  kNotifyCallUsec);
        if (r < 0) {
            delete userdata;
            TrayBusEvent closed;
            closed.kind = TrayBusEvent::Kind::BalloonClosed;
            closed.balloon = pending.number;
            Deliver(std::move(closed));
            continue;
        }
        sd_bus_slot_set_destroy_callback(slot, FreeNotifyCall);
        sd_bus_slot_set_floating(slot, 1);
        sd_bus_slot_unref(slot);
    }
}

int TrayBus::OnNotifyReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    const auto* call = static_cast<const NotifyCall*>(userdata);
    TrayBus* bus = call->bus;
    std::uint32_t id = 0;
    if (sd_bus_message_is_method_error(reply, nullptr) ||
        sd_bus_message_read(reply, "u", &id) < 0 || id == 0) {
        TrayBusEvent closed;
        closed.kind = TrayBusEvent::Kind::BalloonClosed;
        closed.balloon = call->number;
        bus->Deliver(std::move(closed));
        return 0;
    }
    auto& open = bus->m_notifications;
    std::erase_if(open, [&](const auto& entry) { return entry.first == id; });
    if (open.size() >= kMaxTrackedNotifications)
        open.erase(open.begin());
    open.emplace_back(id, call->number);
    bus->m_newestNotification = id;
    return 0;
}

int TrayBus::OnNotificationSignal(sd_bus_message* signal, void* self, sd_bus_error*) {
    auto* bus = static_cast<TrayBus*>(self);
    const std::string_view member = sd_bus_message_get_member(signal);
    std::uint32_t id = 0;
    TrayBusEvent event;
    if (member == "ActionInvoked") {
        const char* action = nullptr;
        if (sd_bus_message_read(signal, "us", &id, &action) < 0 ||
            std::strcmp(action, kDefaultAction) != 0)
            return 0;
        event.kind = TrayBusEvent::Kind::BalloonClicked;
    } else {
        std::uint32_t reason = 0;
        if (sd_bus_message_read(signal, "uu", &id, &reason) < 0)
            return 0;
        event.kind = TrayBusEvent::Kind::BalloonClosed;
    }
    auto& open = bus->m_notifications;
    const auto found = std::find_if(open.begin(), open.end(),
                                    [&](const auto& entry) { return entry.first == id; });
    if (found == open.end())
        return 0; // someone else's notification, or one long forgotten
    event.balloon = found->second;
    if (event.kind == TrayBusEvent::Kind::BalloonClosed) {
        open.erase(found);
        if (bus->m_newestNotification == id)
            bus->m_newestNotification = 0;
    }
    bus->Deliver(std::move(event));
    return 0;
}

} // namespace Velto::Widget::Kit
