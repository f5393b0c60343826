#pragma once

#include "widget/window/screen_bounds.h"

#include <cstdint>
#include <optional>
#include <string>

struct SDL_Window;
union SDL_Event;

namespace Velto::Widget::X11 {

// What SDL leaves out on X11, done with Xlib on the window SDL made. Every
// call does nothing (or answers none) when the window does not run on the
// X11 driver, e.g. under SDL's dummy driver.

// The X window id; 0 when not on X11.
unsigned long XWindowOf(SDL_Window* window);

// WM_CLASS.
void SetClassHint(SDL_Window* window, const std::string& resName, const std::string& resClass);

// The window manager's frame functions (_MOTIF_WM_HINTS): which buttons and
// actions the frame offers, and whether there is a frame at all.
struct FrameFunctions {
    bool decorated{true};
    bool resizable{true};
    bool minimizable{true};
    bool maximizable{true};
};
void SetFrameFunctions(SDL_Window* window, const FrameFunctions& functions);

// Override-redirect windows are placed and stacked by us alone, never
// focused by the window manager (popups, tooltips). Set before mapping.
void SetOverrideRedirect(SDL_Window* window);
// Maps on top of the stack without asking for the focus, and waits until
// the server has done it; unmaps again.
void MapRaised(SDL_Window* window);
void Unmap(SDL_Window* window);
void MoveResize(SDL_Window* window, const ScreenBounds& bounds);
// Moves a managed window so that its client area (not its frame) starts at
// the point: the position is given with static gravity. False when not on
// X11.
bool MoveClientTo(SDL_Window* window, int x, int y);

// _NET_WM_USER_TIME 0: the window manager maps the window without giving it
// the focus.
void SetNoFocusOnMap(SDL_Window* window);
// _NET_ACTIVE_WINDOW: asks the window manager to raise and focus it.
void RequestActivation(SDL_Window* window);
// WM_TRANSIENT_FOR: the window stays above its owner.
void SetTransientFor(SDL_Window* window, SDL_Window* owner);
// Marks an unmapped window as a dialog (_NET_WM_WINDOW_TYPE_DIALOG) for the
// window manager.
void SetDialogType(SDL_Window* window);

// Xft.dpi from the X resources of the screen (the RESOURCE_MANAGER property,
// read afresh each time); none when not set or not on X11.
std::optional<float> ReadXftDpi(SDL_Window* window);

// An active pointer grab for the window: presses anywhere on the screen are
// reported to this client. False when another client holds a grab.
bool GrabPointer(SDL_Window* window);
void UngrabPointer(SDL_Window* window);

// A pointer press seen in SDL's raw X event (SDL_SYSWMEVENT), in screen
// pixels.
struct ScreenPress {
    int x{0};
    int y{0};
    unsigned int button{0};
};
std::optional<ScreenPress> ButtonPressOf(const SDL_Event& event);

// The window's client area on the screen.
std::optional<ScreenBounds> ClientBoundsOf(SDL_Window* window);

} // namespace Velto::Widget::X11
