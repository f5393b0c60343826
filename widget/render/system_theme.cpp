#include "widget/render/system_theme.h"

#include <gio/gio.h>
#include <systemd/sd-bus.h>

#include <cstring>
#include <memory>

namespace Velto::Widget {
namespace {

constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kPortalSettings = "org.freedesktop.portal.Settings";
constexpr const char* kAppearanceNamespace = "org.freedesktop.appearance";
// A portal that is not running may be bus-activated; do not let a missing or
// slow one hold up the first window.
constexpr std::uint64_t kPortalTimeoutMicroseconds = 500'000;

constexpr std::uint32_t kPortalPreferDark = 1;
constexpr std::uint32_t kPortalPreferLight = 2;

struct BusDeleter {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageDeleter {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using BusPtr = std::unique_ptr<sd_bus, BusDeleter>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageDeleter>;

// Calls Settings.Read and enters the variant(s) around the value: older
// portals wrap the value in a second variant, newer ones do not.
MessagePtr ReadPortalSetting(sd_bus* bus, const char* key, const char* valueSignature) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int r = sd_bus_call_method(bus, kPortalService, kPortalPath, kPortalSettings, "Read",
                                     &error, &reply, "ss", kAppearanceNamespace, key);
    sd_bus_error_free(&error);
    if (r < 0)
        return nullptr;
    MessagePtr message(reply);
    for (int depth = 0; depth < 2; ++depth) {
        const char* contents = nullptr;
        if (sd_bus_message_peek_type(reply, nullptr, &contents) <= 0 || contents == nullptr)
            return nullptr;
        if (std::strcmp(contents, valueSignature) == 0)
            return sd_bus_message_enter_container(reply, 'v', contents) > 0 ? std::move(message)
                                                                            : nullptr;
        if (std::strcmp(contents, "v") != 0 || sd_bus_message_enter_container(reply, 'v', "v") <= 0)
            return nullptr;
    }
    return nullptr;
}

void ReadPortal(SystemAppearance& out) {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0)
        return;
    BusPtr bus(raw);
    sd_bus_set_method_call_timeout(bus.get(), kPortalTimeoutMicroseconds);

    if (MessagePtr m = ReadPortalSetting(bus.get(), "color-scheme", "u")) {
        std::uint32_t scheme = 0;
        if (sd_bus_message_read_basic(m.get(), 'u', &scheme) > 0)
            out.portalColorScheme = scheme;
    } else {
        // Without the colour scheme the portal is absent; skip the accent call.
        return;
    }
    if (MessagePtr m = ReadPortalSetting(bus.get(), "accent-color", "(ddd)")) {
        double r = -1, g = -1, b = -1;
        // Values outside 0-1 mean "no accent set".
        if (sd_bus_message_read(m.get(), "(ddd)", &r, &g, &b) > 0 && r >= 0 && r <= 1 && g >= 0 &&
            g <= 1 && b >= 0 && b <= 1)
            out.accent =
                Color{static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), 1};
    }
}

// A GSettings object for the schema, or none when the schema or key is not
// installed (g_settings_new would abort the process on a missing schema).
GSettings* OpenSettings(const char* schemaId, const char* key) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr)
        return nullptr;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, schemaId, TRUE);
    if (schema == nullptr)
        return nullptr;
    GSettings* settings = nullptr;
    if (g_settings_schema_has_key(schema, key))
        settings = g_settings_new_full(schema, nullptr, nullptr);
    g_settings_schema_unref(schema);
    return settings;
}

void ReadGsettings(SystemAppearance& out) {
    if (GSettings* s = OpenSettings("org.gnome.desktop.interface", "color-scheme")) {
        gchar* value = g_settings_get_string(s, "color-scheme");
        if (value != nullptr)
            out.gsettingsColorScheme = value;
        g_free(value);
        g_object_unref(s);
    }
    if (GSettings* s = OpenSettings("org.gnome.desktop.a11y.interface", "high-contrast")) {
        out.highContrast = g_settings_get_boolean(s, "high-contrast") != FALSE;
        g_object_unref(s);
    }
}

bool PrefersDark(const SystemAppearance& a) {
    if (a.portalColorScheme == kPortalPreferDark)
        return true;
    if (a.portalColorScheme == kPortalPreferLight)
        return false;
    return a.gsettingsColorScheme == "prefer-dark";
}

} // namespace

SystemAppearance ReadSystemAppearance() {
    SystemAppearance appearance;
    ReadPortal(appearance);
    ReadGsettings(appearance);
    return appearance;
}

Theme ThemeFromAppearance(const SystemAppearance& appearance) {
    if (appearance.highContrast.value_or(false))
        return HighContrastTheme();
    const Color accent = appearance.accent.value_or(kDefaultAccent);
    return PrefersDark(appearance) ? DarkTheme(accent) : LightTheme(accent);
}

Theme SystemTheme() {
    return ThemeFromAppearance(ReadSystemAppearance());
}

Color SystemAccent() {
    SystemAppearance appearance;
    ReadPortal(appearance);
    return appearance.accent.value_or(kDefaultAccent);
}

bool IsHighContrast() {
    SystemAppearance appearance;
    ReadGsettings(appearance);
    return appearance.highContrast.value_or(false);
}

} // namespace Velto::Widget
