#pragma once

#include "widget/input/input_router.h"
#include "widget/window/screen_bounds.h"
#include "widget/window/window_options.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct SDL_Window;
union SDL_Event;

namespace Velto::Widget {

class Bitmap;
class TipPopup;
class WindowSurface;

// What a window tells about files and text dragged onto it (X drag and
// drop). Points are client DIPs where the pointer was.
struct DropHandlers {
    std::function<void(PointF point)> begin;
    std::function<void(const std::string& path, PointF point)> file;
    std::function<void(const std::string& text, PointF point)> text;
    std::function<void(PointF point)> complete;
};

// A top-level window on the X display (through SDL): it shows one widget
// tree, turns SDL input into the InputRouter's entry points, draws frames with the
// Cairo canvas into the window's surface and answers the router's native
// hooks (repaint, timer, cursor, capture, tooltip, input-method caret).
class Window : public InputRouter {
public:
    Window();
    ~Window() override;

    // Creates the native window, hidden. False when it could not be made
    // (no display, or already created).
    bool Create(const WindowOptions& options);
    bool IsCreated() const { return m_window != nullptr; }
    // Maps the window; it takes the keyboard when the options say so.
    void Show();
    void Show(bool activate);
    virtual void Hide();
    bool IsShown() const { return m_shown; }
    // Destroys the native window (the object stays; Create may follow).
    void Close();
    // As the close box: the close hooks decide whether the window goes.
    void RequestClose();
    // Brings the window to the front with the keyboard focus.
    void Activate();
    bool IsActive() const { return m_active; }

    void SetTitle(std::u16string_view title);
    void SetIcon(const Bitmap& icon);
    // The client size in DIPs, and the smallest one the user may choose.
    void ResizeClient(SizeF size);
    void SetMinimumClientSize(SizeF size);
    void MoveTo(int x, int y);
    // The client area on the screen, in pixels.
    ScreenBounds ClientScreenBounds() const;
    // The work area of the monitor the window is on (or the primary one).
    ScreenBounds WorkArea() const;

    // 96 = 100 %.
    float Dpi() const { return m_dpi; }

    // A disabled window ignores keyboard and pointer input and close
    // requests (its modal dialog runs); a press on it raises the dialog.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_enabled; }
    int ModalDialogCount() const { return m_modalCount; }

    // Decides a close request (close box, RequestClose): true lets the
    // window close. Without one the window closes.
    void SetCloseHook(std::function<bool()> hook) { m_closeHook = std::move(hook); }
    // Runs after the native window was destroyed.
    void SetOnDestroyed(std::function<void()> handler) { m_onDestroyed = std::move(handler); }
    void SetDropHandlers(DropHandlers handlers);

    Window* Owner() const { return m_owner; }
    SDL_Window* NativeWindow() const { return m_window; }
    std::uint32_t NativeId() const { return m_nativeId; }
    // The X window id; 0 when not on the X11 driver.
    unsigned long XWindow() const;
    const WindowOptions& Options() const { return m_options; }

    double Now() const override;
    void SetTheme(const Theme& theme) override;

    // Renders a frame now when one is pending (the loop calls it).
    void PaintIfPending();
    // The absolute time (Now) at which the native timer fires, if armed.
    std::optional<double> NativeTimerDue() const { return m_timerDue; }
    void FireNativeTimer();
    // One SDL event that belongs to this window.
    void HandleEvent(const SDL_Event& event);
    virtual bool IsPopup() const { return false; }
    // An open popup that a press outside the toolkit's popups closes.
    virtual bool ClosesOnOutsideClick() const { return false; }
    virtual void DismissByOutsideClick() {}

    static constexpr float kDefaultDpi = 96;

protected:
    // Runs before the close hook; true consumes the request (a dialog ends
    // its modal run instead).
    virtual bool OnCloseRequest() { return false; }
    // The owner moved or lost the keyboard focus (popups close then).
    virtual void OnOwnerMovedOrDeactivated() {}
    // Creation flags beyond the options (popups ask for override-redirect).
    virtual std::uint32_t ExtraCreateFlags() const { return 0; }
    // Runs before a pending frame is drawn: a window whose size follows
    // its content fits itself here.
    virtual void OnBeforeFrame() {}

    void RequestNativeRepaint() override;
    void ArmNativeTimer(double seconds) override;
    void StopNativeTimer() override;
    void SetNativeCursor(CursorShape shape) override;
    void ShowTooltip(std::u16string_view text, PointF pointer) override;
    void HideTooltip() override;
    void SetNativeCapture(bool captured) override;
    void PlaceImeWindow(const RectF& caret) override;

    // Client pixels to DIPs.
    PointF ToDips(float x, float y) const { return PointF{x / DpiScale(), y / DpiScale()}; }
    // Destroys the native window without running the destroyed handler
    // twice; derived destructors call Close themselves.
    void DestroyNative();

private:
    void HandleWindowEvent(const SDL_Event& event);
    void HandleKey(const SDL_Event& event);
    void HandleText(const SDL_Event& event);
    void HandleEditing(std::u16string text, int start, int length);
    void HandlePointer(const SDL_Event& event);
    void HandleDrop(const SDL_Event& event);
    void UpdateClientSize();
    void RenderNow();
    PointF PointerInClient() const;
    bool AcceptsInput() const;
    void RaiseModalDialog();
    void TellOwnedPopups();

    SDL_Window* m_window{nullptr};
    std::uint32_t m_nativeId{0};
    WindowOptions m_options;
    Window* m_owner{nullptr};
    std::unique_ptr<WindowSurface> m_surface;
    std::unique_ptr<TipPopup> m_tip;
    float m_dpi{kDefaultDpi};
    bool m_shown{false};
    bool m_active{false};
    bool m_enabled{true};
    bool m_composing{false};
    int m_modalCount{0};
    std::optional<double> m_timerDue;
    std::function<bool()> m_closeHook;
    std::function<void()> m_onDestroyed;
    DropHandlers m_dropHandlers;

    friend class Dialog;
};

} // namespace Velto::Widget
