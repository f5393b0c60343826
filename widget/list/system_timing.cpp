#include "widget/list/system_timing.h"

#include <gio/gio.h>

#include <memory>

namespace Velto::Widget {
namespace {

constexpr double kMsPerSecond = 1000;
// GNOME's defaults: a blink cycle of 1.2 s, a double click within 0.4 s.
constexpr int kDefaultBlinkCycleMs = 1200;
constexpr int kDefaultDoubleClickMs = 400;
// A setting below this is taken as a mistake and the default is used.
constexpr int kMinUsableMs = 50;

struct Unref {
    void operator()(GSettings* settings) const { g_object_unref(settings); }
};
using SettingsPtr = std::unique_ptr<GSettings, Unref>;

// The settings of a schema that has the key; none when either is missing
// (g_settings_new would abort the process on a missing schema).
SettingsPtr OpenSettings(const char* schemaId, const char* key) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr)
        return nullptr;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, schemaId, TRUE);
    if (schema == nullptr)
        return nullptr;
    SettingsPtr settings;
    if (g_settings_schema_has_key(schema, key))
        settings.reset(g_settings_new_full(schema, nullptr, nullptr));
    g_settings_schema_unref(schema);
    return settings;
}

int ReadMs(const char* schemaId, const char* key, int fallback) {
    const SettingsPtr settings = OpenSettings(schemaId, key);
    if (!settings)
        return fallback;
    const int value = g_settings_get_int(settings.get(), key);
    return value >= kMinUsableMs ? value : fallback;
}

} // namespace

double CaretBlinkSeconds() {
    constexpr const char* kSchema = "org.gnome.desktop.interface";
    if (const SettingsPtr settings = OpenSettings(kSchema, "cursor-blink")) {
        if (g_settings_get_boolean(settings.get(), "cursor-blink") == FALSE)
            return 0;
    }
    // The setting is one whole cycle: shown, then hidden.
    return ReadMs(kSchema, "cursor-blink-time", kDefaultBlinkCycleMs) / 2 / kMsPerSecond;
}

double DoubleClickSeconds() {
    return ReadMs("org.gnome.desktop.peripherals.mouse", "double-click", kDefaultDoubleClickMs) /
           kMsPerSecond;
}

} // namespace Velto::Widget
