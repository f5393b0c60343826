// Pointer routing, hover, cursor and tooltips of the InputRouter.
#include "widget/core/widget.h"
#include "widget/input/input_router.h"

#include <algorithm>
#include <utility>

namespace Velto::Widget {
namespace {

bool Contains(const std::vector<Widget*>& chain, const Widget* widget) {
    return std::find(chain.begin(), chain.end(), widget) != chain.end();
}

} // namespace

Widget* InputRouter::HitTestRoot(PointF point) const {
    if (m_root == nullptr)
        return nullptr;
    return m_root->HitTest(PointF{point.x - m_root->X(), point.y - m_root->Y()});
}

bool InputRouter::PointerMove(const PointerEvent& event) {
    m_pointer = event.position;
    UpdateHover(HitTestRoot(event.position));
    ApplyCursor();
    if (m_capture != nullptr) {
        DispatchScope scope(*this);
        return m_capture->OnPointerMove(event);
    }
    return RouteUp(m_hovered, [&event](Widget& w) { return w.OnPointerMove(event); });
}

void InputRouter::PointerLeave() {
    UpdateHover(nullptr);
    ApplyCursor();
}

bool InputRouter::PointerDown(const PointerEvent& event) {
    m_pointer = event.position;
    DismissTooltip();
    if (m_capture != nullptr) {
        DispatchScope scope(*this);
        return m_capture->OnPointerDown(event);
    }
    return RouteUp(HitTestRoot(event.position),
                   [&event](Widget& w) { return w.OnPointerDown(event); });
}

bool InputRouter::PointerUp(const PointerEvent& event) {
    m_pointer = event.position;
    if (m_capture != nullptr) {
        DispatchScope scope(*this);
        return m_capture->OnPointerUp(event);
    }
    return RouteUp(HitTestRoot(event.position),
                   [&event](Widget& w) { return w.OnPointerUp(event); });
}

bool InputRouter::Wheel(const WheelEvent& event) {
    if (m_capture != nullptr) {
        DispatchScope scope(*this);
        return m_capture->OnWheel(event);
    }
    return RouteUp(HitTestRoot(event.position), [&event](Widget& w) { return w.OnWheel(event); });
}

void InputRouter::UpdateHover(Widget* hit) {
    if (hit == m_hovered)
        return;
    DispatchScope scope(*this);
    std::vector<Widget*> chain;
    for (Widget* w = hit; w != nullptr; w = w->Parent())
        chain.push_back(w);
    const std::vector<Widget*> old = std::exchange(m_hoverChain, chain);
    m_hovered = hit;
    // The old chain from the inside out, then the new one from the outside in.
    for (Widget* w : old)
        if (!Contains(chain, w) && !WasRemoved(w))
            w->OnPointerLeave();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        if (!Contains(old, *it) && !WasRemoved(*it))
            (*it)->OnPointerEnter();
    // A handler may have removed widgets of the new chain meanwhile.
    std::erase_if(m_hoverChain, [this](Widget* w) { return WasRemoved(w); });
    if (WasRemoved(m_hovered))
        m_hovered = m_hoverChain.empty() ? nullptr : m_hoverChain.front();
    ArmTooltip(m_hovered);
}

void InputRouter::ApplyCursor() {
    const Widget* widget = m_capture != nullptr ? m_capture : m_hovered;
    const CursorShape shape = widget != nullptr ? widget->Cursor() : CursorShape::Arrow;
    if (shape == m_cursor || m_shuttingDown)
        return;
    m_cursor = shape;
    SetNativeCursor(shape);
}

void InputRouter::InstallTooltips(const TooltipOptions& options) {
    m_tooltipOptions = options;
}

void InputRouter::ArmTooltip(Widget* widget) {
    if (!m_tooltipOptions)
        return;
    Widget* owner = widget;
    while (owner != nullptr && owner->TooltipText().empty())
        owner = owner->Parent();
    // Moving between parts of one widget keeps its tip as it is.
    if (owner != nullptr && owner == m_tipWidget)
        return;
    DismissTooltip();
    if (owner == nullptr)
        return;
    const double now = Now();
    const double delay = now - m_lastTipHide < kTooltipReshowWindow ? 0 : kTooltipDelay;
    m_tipWidget = owner;
    m_tipShowAt = now + delay;
    m_tipTimer = SetTimer(
        owner, delay, [this] { ShowArmedTooltip(); }, false);
}

void InputRouter::ShowArmedTooltip() {
    m_tipTimer = 0;
    if (m_tipWidget == nullptr || m_shuttingDown)
        return;
    const std::u16string_view text = m_tipWidget->TooltipText();
    if (text.empty()) {
        m_tipWidget = nullptr;
        return;
    }
    ShowTooltip(text, m_pointer);
    m_tipShown = true;
    const double seconds = std::min(m_tooltipOptions->baseSeconds +
                                        kTooltipSecondsPerChar * static_cast<double>(text.size()),
                                    kTooltipMaxSeconds);
    m_tipTimer = SetTimer(
        m_tipWidget, seconds, [this] { DismissTooltip(); }, false);
}

void InputRouter::DismissTooltip() {
    if (m_tipTimer != 0) {
        const std::uint64_t timer = std::exchange(m_tipTimer, 0);
        KillTimer(timer);
    }
    m_tipWidget = nullptr;
    if (!m_tipShown)
        return;
    m_tipShown = false;
    if (m_shuttingDown)
        return;
    m_lastTipHide = Now();
    HideTooltip();
}

} // namespace Velto::Widget
