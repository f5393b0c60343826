#include "widget/window/kit_settings.h"

#include "widget/render/bitmap.h"
#include "widget/window/dialog.h"
#include "widget/window/window.h"

#include <mutex>

namespace Velto::Widget::Kit {
namespace {

// The process's one set of kit settings, replaced whole by ConfigureKit.
struct SettingsStore {
    std::mutex mutex; // guards settings
    KitSettings settings;
};

SettingsStore& Store() {
    static SettingsStore store;
    return store;
}

} // namespace

void ConfigureKit(KitSettings settings) {
    SettingsStore& store = Store();
    std::lock_guard lock(store.mutex);
    store.settings = std::move(settings);
}

KitSettings CurrentKitSettings() {
    SettingsStore& store = Store();
    std::lock_guard lock(store.mutex);
    return store.settings;
}

void ApplyWindowOptionsHook(WindowOptions& options) {
    // A copy, so that the hook may itself configure the kit.
    const KitSettings settings = CurrentKitSettings();
    if (settings.windowOptionsHook)
        settings.windowOptionsHook(options);
}

void ApplyAppIcon(Window& window) {
    const KitSettings settings = CurrentKitSettings();
    if (settings.appIcon != nullptr && window.IsCreated())
        window.SetIcon(*settings.appIcon);
}

void RunDialogHook(Dialog& dialog, std::u16string_view title) {
    const KitSettings settings = CurrentKitSettings();
    if (settings.dialogHook)
        settings.dialogHook(dialog, title);
}

} // namespace Velto::Widget::Kit
