#pragma once

#include <functional>
#include <memory>
#include <string_view>

namespace Velto::Widget {
class Bitmap;
class Dialog;
class Window;
struct WindowOptions;
} // namespace Velto::Widget

namespace Velto::Widget::Kit {

// What the program sets once at start-up for every window the toolkit
// makes: the application icon and the hooks run on new windows and dialogs.
struct KitSettings {
    // Set as the icon of every dialog (and of windows that apply it); none
    // leaves the window manager's default.
    std::shared_ptr<const Bitmap> appIcon;
    // Runs on the options of every top-level window just before it is made.
    std::function<void(WindowOptions&)> windowOptionsHook;
    // Runs on every dialog once its window exists, with its title.
    std::function<void(Dialog&, std::u16string_view title)> dialogHook;
};

// Replaces the settings whole. UI thread.
void ConfigureKit(KitSettings settings);
KitSettings CurrentKitSettings();

// Runs the window-options hook on the options when one is set.
void ApplyWindowOptionsHook(WindowOptions& options);
// Sets the application icon on the window when both exist.
void ApplyAppIcon(Window& window);
// Runs the dialog hook when one is set.
void RunDialogHook(Dialog& dialog, std::u16string_view title);

} // namespace Velto::Widget::Kit
