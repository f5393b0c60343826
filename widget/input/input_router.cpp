#include "widget/input/input_router.h"

#include "widget/core/widget.h"
#include "widget/input/key_route.h"
#include "widget/render/canvas.h"
#include "widget/render/system_theme.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Velto::Widget {

InputRouter::InputRouter() : m_theme(DetachedTheme()) {}

InputRouter::~InputRouter() {
    // The derived window is gone: no native hook may run from here on.
    m_shuttingDown = true;
    for (const Route& route : m_routes)
        route.owner->m_router = nullptr;
    if (m_root != nullptr)
        m_root->SetRootHost(nullptr);
    m_root = nullptr;
    m_ownedRoot.reset();
}

Widget* InputRouter::SetRoot(std::unique_ptr<Widget> root) {
    if (root != nullptr && (root->Parent() != nullptr || root->GetHost() != nullptr))
        return nullptr;
    Widget* raw = root.get();
    SetRootPointer(raw, std::move(root));
    return raw;
}

void InputRouter::AttachRoot(Widget& root) {
    if (root.Parent() != nullptr || (root.GetHost() != nullptr && root.GetHost() != this))
        return;
    SetRootPointer(&root, nullptr);
}

void InputRouter::ReleaseRoot() {
    SetRootPointer(nullptr, nullptr);
}

void InputRouter::SetRootPointer(Widget* root, std::unique_ptr<Widget> owned) {
    if (m_root == root)
        return;
    // Detach first, so that the old tree's widgets are forgotten (focus,
    // hover, capture, timers) before any of them is destroyed.
    if (m_root != nullptr)
        m_root->SetRootHost(nullptr);
    std::unique_ptr<Widget> old = std::move(m_ownedRoot);
    m_ownedRoot = std::move(owned);
    m_root = root;
    old.reset();
    if (m_root != nullptr)
        m_root->SetRootHost(this);
    RequestLayout();
}

void InputRouter::SetClientSize(SizeF size) {
    if (size == m_clientSize)
        return;
    m_clientSize = size;
    RequestLayout();
}

void InputRouter::SetDpiScale(float scale) {
    if (!(scale > 0) || scale == m_dpiScale)
        return;
    m_dpiScale = scale;
    if (m_root != nullptr)
        m_root->NotifyThemeChanged();
    RequestLayout();
}

void InputRouter::SetTheme(const Theme& theme) {
    m_theme = theme;
    if (m_root != nullptr)
        m_root->NotifyThemeChanged();
    RequestLayout();
}

void InputRouter::SetThemeSource(ThemeSource source) {
    m_themeSource = std::move(source);
    RefreshTheme();
}

void InputRouter::RefreshTheme() {
    SetTheme(m_themeSource ? m_themeSource() : SystemTheme());
}

void InputRouter::RequestLayout() {
    m_layoutPending = true;
    RequestPaint();
}

void InputRouter::RequestPaint() {
    // A frame being drawn shows the latest state anyway.
    if (m_inFrame || m_paintPending)
        return;
    m_paintPending = true;
    if (!m_shuttingDown)
        RequestNativeRepaint();
}

void InputRouter::UpdateLayout() {
    m_layoutPending = false;
    if (m_root == nullptr)
        return;
    m_root->Measure(m_clientSize);
    m_root->Arrange(RectF{0, 0, m_clientSize.width, m_clientSize.height});
}

bool InputRouter::Frame(Canvas& canvas) {
    m_inFrame = true;
    m_animator.Step(Now());
    UpdateLayout();
    canvas.Clear(BackgroundColor());
    if (m_root != nullptr)
        m_root->Paint(canvas);
    if (m_focused != nullptr && m_focusVisual) {
        const RectF bounds = m_focused->BoundsInWindow();
        if (!bounds.IsEmpty()) {
            canvas.PushOffset(bounds.x, bounds.y);
            m_focused->DrawFocusVisual(canvas);
            canvas.PopOffset();
        }
    }
    m_inFrame = false;
    m_paintPending = false;
    const bool animating = !m_animator.Empty();
    if (animating)
        RequestPaint();
    return animating;
}

bool InputRouter::IsInside(const Widget& ancestor, const Widget* widget) const {
    for (const Widget* w = widget; w != nullptr; w = w->Parent())
        if (w == &ancestor)
            return true;
    return false;
}

bool InputRouter::AcceptsFocus(const Widget& widget) const {
    if (widget.GetHost() != this || !widget.IsEnabled() || !widget.CanFocus())
        return false;
    for (const Widget* w = &widget; w != nullptr; w = w->Parent())
        if (!w->IsVisible())
            return false;
    return true;
}

bool InputRouter::SetFocus(Widget* widget, bool fromKeyboard) {
    if (widget != nullptr && !AcceptsFocus(*widget))
        return false;
    if (widget == m_focused) {
        if (m_focusVisual != (widget != nullptr && fromKeyboard)) {
            m_focusVisual = widget != nullptr && fromKeyboard;
            RequestPaint();
        }
        return true;
    }
    DispatchScope scope(*this);
    Widget* old = m_focused;
    m_focused = widget;
    m_focusVisual = widget != nullptr && fromKeyboard;
    SetAccessKeyCues(false);
    if (old != nullptr)
        old->OnFocusChanged(false);
    if (widget != nullptr && !WasRemoved(widget) && m_focused == widget) {
        std::vector<Widget*> ancestors;
        for (Widget* a = widget->Parent(); a != nullptr; a = a->Parent())
            ancestors.push_back(a);
        widget->OnFocusChanged(true);
        for (Widget* a : ancestors) {
            if (WasRemoved(a) || WasRemoved(widget))
                break;
            a->OnDescendantFocused(*widget);
        }
        if (!WasRemoved(widget))
            RaiseAccessibilityEvent(*widget, AccessibilityEvent::FocusChanged);
    }
    RequestPaint();
    return true;
}

void InputRouter::SetAccessKeyCues(bool shown) {
    if (m_accessKeyCues == shown)
        return;
    m_accessKeyCues = shown;
    RequestPaint();
}

void InputRouter::SetCapture(Widget* widget) {
    if (widget != nullptr && widget->GetHost() != this)
        return;
    if (widget == m_capture)
        return;
    Widget* old = m_capture;
    m_capture = widget;
    if ((old == nullptr) != (widget == nullptr) && !m_shuttingDown)
        SetNativeCapture(widget != nullptr);
    if (old != nullptr)
        old->OnCaptureLost();
    ApplyCursor();
}

void InputRouter::CaptureLost() {
    Widget* old = m_capture;
    m_capture = nullptr;
    if (old != nullptr)
        old->OnCaptureLost();
    ApplyCursor();
}

std::uint64_t InputRouter::SetTimer(Widget* owner, double seconds, std::function<void()> callback,
                                    bool repeat) {
    if (owner != nullptr && owner->GetHost() != this)
        return 0;
    if (!(seconds >= 0)) // negative or NaN: due now
        seconds = 0;
    const std::uint64_t id = m_nextTimerId++;
    m_timers.push_back(Timer{id, owner, Now() + seconds, seconds, repeat, std::move(callback)});
    if (!m_firingTimers)
        RearmNativeTimer();
    return id;
}

void InputRouter::KillTimer(std::uint64_t id) {
    const auto removed = std::erase_if(m_timers, [id](const Timer& t) { return t.id == id; });
    if (removed != 0 && !m_firingTimers)
        RearmNativeTimer();
}

void InputRouter::FireTimers() {
    if (m_firingTimers)
        return;
    m_firingTimers = true;
    const double now = Now();
    std::vector<std::uint64_t> due;
    for (const Timer& timer : m_timers)
        if (timer.due <= now)
            due.push_back(timer.id);
    for (const std::uint64_t id : due) {
        // An earlier callback may have killed it, or destroyed its owner.
        const auto it = std::find_if(m_timers.begin(), m_timers.end(),
                                     [id](const Timer& t) { return t.id == id; });
        if (it == m_timers.end())
            continue;
        const std::function<void()> callback = it->callback;
        if (it->repeat)
            it->due = now + std::max(it->interval, kMinTimerInterval);
        else
            m_timers.erase(it);
        if (callback)
            callback();
    }
    m_firingTimers = false;
    RearmNativeTimer();
}

void InputRouter::RearmNativeTimer() {
    if (m_shuttingDown)
        return;
    double earliest = std::numeric_limits<double>::infinity();
    for (const Timer& timer : m_timers)
        earliest = std::min(earliest, timer.due);
    if (!std::isfinite(earliest)) {
        StopNativeTimer();
        return;
    }
    ArmNativeTimer(std::max(0.0, earliest - Now()));
}

bool InputRouter::WasRemoved(const Widget* widget) const {
    return std::find(m_removedDuringDispatch.begin(), m_removedDuringDispatch.end(), widget) !=
           m_removedDuringDispatch.end();
}

bool InputRouter::RouteUp(Widget* start, const std::function<bool(Widget&)>& visit) {
    if (start == nullptr)
        return false;
    DispatchScope scope(*this);
    std::vector<Widget*> chain;
    for (Widget* w = start; w != nullptr; w = w->Parent())
        chain.push_back(w);
    for (Widget* w : chain) {
        if (WasRemoved(w) || w->GetHost() != this)
            return false;
        if (visit(*w))
            return true;
    }
    return false;
}

void InputRouter::WidgetAttached(Widget&) {
    RequestLayout();
}

void InputRouter::WidgetDetached(Widget& widget) {
    // The root leaves when another is set, or when a caller-owned root is
    // destroyed before the host.
    if (&widget == m_root)
        m_root = nullptr;
    if (m_dispatchDepth > 0)
        m_removedDuringDispatch.push_back(&widget);
    ForgetSubtree(widget, false);
    m_animator.CancelOwnedBy(widget);
    const auto removed =
        std::erase_if(m_timers, [&widget](const Timer& t) { return t.owner == &widget; });
    if (removed != 0 && !m_firingTimers)
        RearmNativeTimer();
}

void InputRouter::WidgetHidden(Widget& widget) {
    ForgetSubtree(widget, true);
}

void InputRouter::WidgetDisabled(Widget& widget) {
    ForgetSubtree(widget, true);
}

void InputRouter::ForgetSubtree(Widget& widget, bool notify) {
    // A widget leaving the tree is not told anything: it is on its way out.
    DispatchScope scope(*this);
    if (IsInside(widget, m_tipWidget))
        DismissTooltip();
    if (IsInside(widget, m_focused)) {
        Widget* old = m_focused;
        m_focused = nullptr;
        m_focusVisual = false;
        RequestPaint();
        if (notify)
            old->OnFocusChanged(false);
    }
    if (IsInside(widget, m_capture)) {
        Widget* old = m_capture;
        m_capture = nullptr;
        if (!m_shuttingDown)
            SetNativeCapture(false);
        if (notify && !WasRemoved(old))
            old->OnCaptureLost();
    }
    std::vector<Widget*> left;
    std::erase_if(m_hoverChain, [&](Widget* w) {
        if (!IsInside(widget, w))
            return false;
        left.push_back(w);
        return true;
    });
    if (IsInside(widget, m_hovered))
        m_hovered = m_hoverChain.empty() ? nullptr : m_hoverChain.front();
    if (notify)
        for (Widget* w : left)
            if (!WasRemoved(w))
                w->OnPointerLeave();
    if (!m_shuttingDown)
        ApplyCursor();
}

void InputRouter::RaiseAccessibilityEvent(Widget& widget, AccessibilityEvent event) {
    if (!m_shuttingDown)
        OnAccessibilityEvent(widget, event);
}

std::uint64_t InputRouter::AddRoute(KeyRoute& owner, RouteHandlers handlers) {
    const std::uint64_t id = m_nextRouteId++;
    m_routes.push_back(
        Route{id, &owner, std::make_shared<const RouteHandlers>(std::move(handlers))});
    return id;
}

void InputRouter::RemoveRoute(std::uint64_t id) {
    std::erase_if(m_routes, [id](const Route& r) { return r.id == id; });
}

std::vector<std::shared_ptr<const RouteHandlers>> InputRouter::RoutesNewestFirst() const {
    std::vector<std::shared_ptr<const RouteHandlers>> handlers;
    handlers.reserve(m_routes.size());
    for (auto it = m_routes.rbegin(); it != m_routes.rend(); ++it)
        handlers.push_back(it->handlers);
    return handlers;
}

void InstallTooltips(InputRouter& router, const TooltipOptions& options) {
    router.InstallTooltips(options);
}

} // namespace Velto::Widget
