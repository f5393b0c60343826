#include "widget/desktop/desktop_icon_theme_name.h"

#include <gio/gio.h>

namespace Velto::Widget::Kit {
namespace {

constexpr const char* kDefaultIconTheme = "Adwaita";
constexpr const char* kInterfaceSchema = "org.gnome.desktop.interface";
constexpr const char* kIconThemeKey = "icon-theme";

} // namespace

std::string DesktopIconThemeName() {
    // g_settings_new aborts the process on a schema that is not installed;
    // look it up first.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr)
        return kDefaultIconTheme;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, kInterfaceSchema, TRUE);
    if (schema == nullptr)
        return kDefaultIconTheme;
    std::string name;
    if (g_settings_schema_has_key(schema, kIconThemeKey)) {
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        gchar* value = g_settings_get_string(settings, kIconThemeKey);
        if (value != nullptr)
            name = value;
        g_free(value);
        g_object_unref(settings);
    }
    g_settings_schema_unref(schema);
    return name.empty() ? kDefaultIconTheme : name;
}

} // namespace Velto::Widget::Kit
