#pragma once

#include "widget/core/events.h"
#include "widget/core/tree_host.h"
#include "widget/input/animator.h"
#include "widget/render/color.h"
#include "widget/render/geometry.h"
#include "widget/render/theme.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace Velto::Widget {

class Canvas;
class KeyRoute;
struct RouteHandlers;
class Widget;

// How tooltips look and how long they stay.
struct TooltipOptions {
    float maxWidth{320};   // DIPs; the text wraps there
    double baseSeconds{4}; // shown this long plus 0.05 s per character
    float offsetX{12};     // device pixels from the pointer
    float offsetY{20};
};

// The routing core of a window: it holds one widget tree and keeps its
// focus, hover, capture, access-key cues, key routes, timers, animations and
// tooltip, and turns input events into widget calls. It makes no OS calls;
// what it needs from the window system it asks through the protected native
// hooks, which the native window (or the headless host) implements. Every
// call is made on the UI thread.
class InputRouter : public TreeHost {
public:
    InputRouter();
    ~InputRouter() override;
    InputRouter(const InputRouter&) = delete;
    InputRouter& operator=(const InputRouter&) = delete;

    // The tree. SetRoot takes ownership of the root (a widget without parent)
    // and destroys the previous one; it returns the new root.
    Widget* SetRoot(std::unique_ptr<Widget> root);
    Widget* Root() const { return m_root; }

    // Client area in DIPs, DPI scale (DPI / 96) and theme.
    SizeF ClientSize() const { return m_clientSize; }
    void SetClientSize(SizeF size);
    float DpiScale() const override { return m_dpiScale; }
    // Tells the tree that the DPI changed; layout and a paint follow.
    void SetDpiScale(float scale);
    const Theme& GetTheme() const override { return m_theme; }
    // Stores the theme, tells the tree and repaints.
    virtual void SetTheme(const Theme& theme);
    // Where RefreshTheme takes the theme from; none means the system theme.
    using ThemeSource = std::function<Theme()>;
    void SetThemeSource(ThemeSource source);
    // Asks the theme source again (the desktop's colours changed).
    void RefreshTheme();

    // Layout and painting are coalesced: many requests make one frame.
    void RequestLayout() override;
    void RequestPaint() override;
    bool LayoutPending() const { return m_layoutPending; }
    bool PaintPending() const { return m_paintPending; }
    // Measures and arranges the root in the client size.
    void UpdateLayout();
    // One frame: steps the animations, lays the root out in the client size,
    // clears to the background, draws the tree and the focus visual. True
    // when animations still run; the next paint is then already requested.
    bool Frame(Canvas& canvas);

    // Focus. Only a visible, enabled, focusable widget of this tree takes it;
    // none clears it.
    bool SetFocus(Widget* widget, bool fromKeyboard) override;
    Widget* Focused() const { return m_focused; }
    // The next (or previous) tab stop in tree order, wrapping; without focus
    // the first (or last).
    bool MoveFocus(bool forward);
    bool FocusVisualShown() const override { return m_focusVisual; }
    bool AccessKeyCuesShown() const override { return m_accessKeyCues; }

    // Pointer capture: pointer input goes to the widget until released.
    void SetCapture(Widget* widget) override;
    Widget* Capture() const { return m_capture; }
    // The window lost the native capture to someone else.
    void CaptureLost();
    // The widget under the pointer, and the shape it asked for.
    Widget* Hovered() const { return m_hovered; }
    CursorShape Cursor() const { return m_cursor; }

    // Input entry points; each returns whether the input was handled.
    bool KeyDown(const KeyEvent& event);
    bool KeyUp(const KeyEvent& event);
    // A character as UTF-16 code units or whole code points: a high surrogate
    // waits for its low surrogate; control characters are dropped.
    bool Char(const CharEvent& event);
    bool Ime(const ImeEvent& event);
    bool PointerDown(const PointerEvent& event);
    bool PointerUp(const PointerEvent& event);
    bool PointerMove(const PointerEvent& event);
    // The pointer left the client area.
    void PointerLeave();
    bool Wheel(const WheelEvent& event);

    // Timers. Seconds from now; a repeating timer runs at most every
    // kMinTimerInterval. A widget's timers end when it leaves the tree.
    std::uint64_t SetTimer(Widget* owner, double seconds, std::function<void()> callback,
                           bool repeat) override;
    void KillTimer(std::uint64_t id) override;
    // Runs the due timers; the native window calls it when its timer fires.
    void FireTimers();
    bool HasTimers() const { return !m_timers.empty(); }

    // Animations; switched off, animated values take their targets at once.
    Animator& GetAnimator() { return m_animator; }
    bool AnimationsEnabled() const { return m_animationsEnabled; }
    void SetAnimationsEnabled(bool enabled) { m_animationsEnabled = enabled; }

    // Tooltips show only once installed.
    void InstallTooltips(const TooltipOptions& options);
    const std::optional<TooltipOptions>& GetTooltipOptions() const { return m_tooltipOptions; }
    // Arms the tip of the widget or its nearest ancestor with a tooltip text.
    void ArmTooltip(Widget* widget);
    // Hides a shown tip and disarms a pending one.
    void DismissTooltip();
    bool TooltipShown() const { return m_tipShown; }
    // Whether Enter, left to the window, presses a default button (a
    // dialog's); controls that would act on Enter leave it to the window then.
    virtual bool EnterPressesDefault() const { return false; }

    void WidgetAttached(Widget& widget) override;
    void WidgetDetached(Widget& widget) override;
    void WidgetHidden(Widget& widget) override;
    void WidgetDisabled(Widget& widget) override;
    void RaiseAccessibilityEvent(Widget& widget, AccessibilityEvent event) override;

    // Monotonic clock in seconds.
    virtual double Now() const = 0;

    static constexpr double kMinTimerInterval = 0.001;
    static constexpr double kTooltipDelay = 0.5;
    // A tip hidden less than this ago lets the next one show at once.
    static constexpr double kTooltipReshowWindow = 0.5;
    static constexpr double kTooltipSecondsPerChar = 0.05;
    static constexpr double kTooltipMaxSeconds = 30;

protected:
    // Native hooks.
    // Ask the window system for a frame (Frame follows later).
    virtual void RequestNativeRepaint() = 0;
    // Arm the window's one timer to fire after `seconds` (0: soon), or stop it.
    virtual void ArmNativeTimer(double seconds) = 0;
    virtual void StopNativeTimer() = 0;
    virtual void SetNativeCursor(CursorShape shape) = 0;
    // Show the tip at the pointer (client DIPs; the window adds the offset
    // of the tooltip options in device pixels), or hide it.
    virtual void ShowTooltip(std::u16string_view text, PointF pointer) = 0;
    virtual void HideTooltip() = 0;
    // Start or stop the native pointer grab that goes with a capture.
    virtual void SetNativeCapture(bool captured) = 0;
    // Place the input method's candidate window at the caret, in client
    // device pixels.
    virtual void PlaceImeWindow(const RectF& caret) = 0;
    // A key nobody handled (Dialog: Enter and Escape).
    virtual bool OnUnhandledKey(const KeyEvent&) { return false; }
    // The accessibility provider's part; nothing by default.
    virtual void OnAccessibilityEvent(Widget&, AccessibilityEvent) {}
    // What a frame clears to (popups: the flyout background).
    virtual Color BackgroundColor() const { return m_theme.windowBackground; }

    // Shows a tree the caller owns (the headless host); it stays attached
    // until another root is set or the host is destroyed.
    void AttachRoot(Widget& root);
    // Detaches and destroys the tree while the derived host still exists, so
    // that no native hook runs after it; derived destructors call it.
    void ReleaseRoot();

private:
    struct Timer {
        std::uint64_t id{0};
        Widget* owner{nullptr};
        double due{0};
        double interval{0};
        bool repeat{false};
        std::function<void()> callback;
    };
    struct Route {
        std::uint64_t id{0};
        KeyRoute* owner{nullptr};
        std::shared_ptr<const RouteHandlers> handlers;
    };
    // Marks a dispatch that walks widgets: widgets that leave the tree while
    // it runs are remembered, so that the walk never visits them.
    class DispatchScope {
    public:
        explicit DispatchScope(InputRouter& host) : m_host(host) { ++m_host.m_dispatchDepth; }
        ~DispatchScope() {
            if (--m_host.m_dispatchDepth == 0)
                m_host.m_removedDuringDispatch.clear();
        }
        DispatchScope(const DispatchScope&) = delete;
        DispatchScope& operator=(const DispatchScope&) = delete;

    private:
        InputRouter& m_host;
    };
    friend class KeyRoute;

    // Key routes, newest last (KeyRoute adds and removes itself).
    std::uint64_t AddRoute(KeyRoute& owner, RouteHandlers handlers);
    void RemoveRoute(std::uint64_t id);
    // The handlers of the routes, newest first.
    std::vector<std::shared_ptr<const RouteHandlers>> RoutesNewestFirst() const;

    void SetRootPointer(Widget* root, std::unique_ptr<Widget> owned);
    void RearmNativeTimer();
    // Walks from `start` up through its ancestors until `visit` returns true;
    // a widget removed meanwhile ends the walk.
    bool RouteUp(Widget* start, const std::function<bool(Widget&)>& visit);
    bool WasRemoved(const Widget* widget) const;
    bool AcceptsFocus(const Widget& widget) const;
    bool MoveFocusInGroup(Widget& group, bool forward);
    bool AccessKey(char32_t character);
    void SetAccessKeyCues(bool shown);
    Widget* HitTestRoot(PointF point) const;
    void UpdateHover(Widget* hit);
    void ApplyCursor();
    void ForgetSubtree(Widget& widget, bool notify);
    void ShowArmedTooltip();
    bool IsInside(const Widget& ancestor, const Widget* widget) const;

    Widget* m_root{nullptr};
    std::unique_ptr<Widget> m_ownedRoot;
    SizeF m_clientSize;
    float m_dpiScale{1};
    Theme m_theme;
    ThemeSource m_themeSource;

    Widget* m_focused{nullptr};
    bool m_focusVisual{false};
    bool m_accessKeyCues{false};
    Widget* m_hovered{nullptr};
    std::vector<Widget*> m_hoverChain; // the widgets marked hovered
    Widget* m_capture{nullptr};
    CursorShape m_cursor{CursorShape::Arrow};
    PointF m_pointer;
    char16_t m_pendingHighSurrogate{0};
    // The key route that took the last key press. When taking it ended the
    // route (a menu chose an item by its access key and closed), the
    // character the same press produces is swallowed too, not typed into
    // the focused widget.
    std::weak_ptr<const RouteHandlers> m_routeOfLastKey;
    bool m_routeTookKey{false};

    std::vector<Route> m_routes;
    std::uint64_t m_nextRouteId{1};

    std::vector<Timer> m_timers;
    std::uint64_t m_nextTimerId{1};
    bool m_firingTimers{false};

    Animator m_animator;
    bool m_animationsEnabled{true};

    std::optional<TooltipOptions> m_tooltipOptions;
    Widget* m_tipWidget{nullptr}; // armed or shown
    std::uint64_t m_tipTimer{0};  // shows an armed tip, or hides a shown one
    bool m_tipShown{false};
    double m_tipShowAt{0};
    double m_lastTipHide{-1e9}; // far in the past

    // Widgets that left the tree during the running dispatch.
    int m_dispatchDepth{0};
    std::vector<const Widget*> m_removedDuringDispatch;

    bool m_layoutPending{false};
    bool m_paintPending{false};
    bool m_inFrame{false};
    bool m_shuttingDown{false};
};

// Turns the tooltips of a router on with the given options; the toolkit's
// own windows use the defaults of TooltipOptions.
void InstallTooltips(InputRouter& router, const TooltipOptions& options = {});

} // namespace Velto::Widget
