#include "widget/window/popup.h"

#include "widget/window/application.h"
#include "widget/window/x11_window.h"

#include <SDL2/SDL_video.h>

namespace Velto::Widget {

Popup::Popup() = default;

Popup::~Popup() {
    ReleaseRoot();
    if (IsShown())
        Hide();
    DestroyNative();
}

std::uint32_t Popup::ExtraCreateFlags() const {
    // On X11 these make an override-redirect window of a popup type.
    return SDL_WINDOW_POPUP_MENU | SDL_WINDOW_SKIP_TASKBAR;
}

bool Popup::CreateFor(Window& owner) {
    WindowOptions options;
    options.owner = &owner;
    options.width = 1;
    options.height = 1;
    options.resizable = false;
    options.minimizable = false;
    options.maximizable = false;
    options.frame = 1;
    options.activateOnShow = false;
    options.activatable = false;
    // Not a utility window as well: the window system refuses that with the
    // popup-menu type, and an override-redirect popup is never in the task
    // bar anyway.
    options.resName = owner.Options().resName;
    options.resClass = owner.Options().resClass;
    if (!Create(options))
        return false;
    SetThemeSource([&owner] { return owner.GetTheme(); });
    SetDpiScale(owner.DpiScale());
    return true;
}

void Popup::ShowAt(const ScreenBounds& bounds) {
    if (!IsCreated() || bounds.IsEmpty())
        return;
    X11::MoveResize(NativeWindow(), bounds);
    SDL_SetWindowPosition(NativeWindow(), bounds.x, bounds.y);
    SDL_SetWindowSize(NativeWindow(), bounds.width, bounds.height);
    SetClientSize(SizeF{static_cast<float>(bounds.width) / DpiScale(),
                        static_cast<float>(bounds.height) / DpiScale()});
    // A menu or list hides the tooltips of the windows under it, which
    // would otherwise stay on top and cover its items.
    if (m_dismissOnOutsideClick)
        for (Window* owner = Owner(); owner != nullptr; owner = owner->Owner())
            owner->DismissTooltip();
    Show(false);
    if (m_dismissOnOutsideClick)
        X11::GrabPointer(NativeWindow());
}

void Popup::Hide() {
    const bool wasShown = IsShown();
    Window::Hide();
    if (!wasShown)
        return;
    // The grab went with the unmapped window; another open popup (the menu
    // this one was a submenu of) takes it back.
    for (Window* window : Application::Instance().Windows())
        if (window != this && window->ClosesOnOutsideClick())
            X11::GrabPointer(window->NativeWindow());
}

void Popup::Dismiss() {
    if (!IsShown())
        return;
    Hide();
    if (m_onDismissed) {
        const std::function<void()> handler = m_onDismissed;
        handler();
    }
}

void Popup::OnOwnerMovedOrDeactivated() {
    Dismiss();
}

} // namespace Velto::Widget
