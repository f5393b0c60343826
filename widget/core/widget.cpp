#include "widget/core/widget.h"

#include "widget/render/canvas.h"

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

// Clamps into [min, max]; when min exceeds max, min wins.
float ClampMinWins(float value, float min, float max) {
    return std::max(min, std::min(value, max));
}

float AlignOffset(Alignment alignment, float room) {
    switch (alignment) {
    case Alignment::Center:
        return room / 2;
    case Alignment::End:
        return room;
    default:
        return 0;
    }
}

} // namespace

Widget::~Widget() {
    if (m_host != nullptr)
        m_host->WidgetDetached(*this);
}

Widget* Widget::AddChild(std::unique_ptr<Widget> child) {
    if (!child || child->m_parent != nullptr)
        return nullptr;
    Widget* raw = child.get();
    raw->m_parent = this;
    m_children.push_back(std::move(child));
    if (m_host != nullptr) {
        raw->SetHostRecursive(m_host);
        m_host->WidgetAttached(*raw);
    }
    InvalidateMeasure();
    return raw;
}

void Widget::RemoveChild(Widget* child) {
    const auto it = std::find_if(m_children.begin(), m_children.end(),
                                 [child](const auto& c) { return c.get() == child; });
    if (it == m_children.end())
        return;
    OnChildRemoving(*child);
    // Move out first so that the tree no longer holds the child while its
    // destructors tell the host to forget it.
    std::unique_ptr<Widget> removed = std::move(*it);
    m_children.erase(it);
    removed.reset();
    InvalidateMeasure();
}

void Widget::ClearChildren() {
    if (m_children.empty())
        return;
    for (const auto& child : m_children)
        OnChildRemoving(*child);
    std::vector<std::unique_ptr<Widget>> removed = std::move(m_children);
    m_children.clear();
    removed.clear();
    InvalidateMeasure();
}

void Widget::SetRootHost(TreeHost* host) {
    if (m_parent != nullptr || host == m_host)
        return;
    if (m_host != nullptr)
        SetHostRecursive(nullptr);
    SetHostRecursive(host);
    if (host != nullptr) {
        host->WidgetAttached(*this);
        InvalidateMeasure();
    }
}

void Widget::SetHostRecursive(TreeHost* host) {
    if (m_host != nullptr && host != m_host)
        m_host->WidgetDetached(*this);
    m_host = host;
    for (const auto& child : m_children)
        child->SetHostRecursive(host);
}

void Widget::SetWidth(float width) {
    if (m_width == width || (std::isnan(m_width) && std::isnan(width)))
        return;
    m_width = width;
    InvalidateMeasure();
}

void Widget::SetHeight(float height) {
    if (m_height == height || (std::isnan(m_height) && std::isnan(height)))
        return;
    m_height = height;
    InvalidateMeasure();
}

void Widget::SetMinWidth(float value) {
    SetLayoutValue(m_minWidth, value);
}
void Widget::SetMaxWidth(float value) {
    SetLayoutValue(m_maxWidth, value);
}
void Widget::SetMinHeight(float value) {
    SetLayoutValue(m_minHeight, value);
}
void Widget::SetMaxHeight(float value) {
    SetLayoutValue(m_maxHeight, value);
}
void Widget::SetHorizontalAlignment(Alignment alignment) {
    SetLayoutValue(m_horizontalAlignment, alignment);
}
void Widget::SetVerticalAlignment(Alignment alignment) {
    SetLayoutValue(m_verticalAlignment, alignment);
}
void Widget::SetMargin(const Thickness& margin) {
    SetLayoutValue(m_margin, margin);
}

void Widget::SetVisible(bool visible) {
    if (m_visible == visible)
        return;
    m_visible = visible;
    InvalidateMeasure();
    if (!visible && m_host != nullptr)
        m_host->WidgetHidden(*this);
    RequestRedraw();
}

void Widget::SetEnabled(bool enabled) {
    if (m_enabled == enabled)
        return;
    SetEnabledRecursive(enabled);
    if (!enabled && m_host != nullptr)
        m_host->WidgetDisabled(*this);
    RequestRedraw();
    RaiseAccessibilityEvent(AccessibilityEvent::EnabledChanged);
}

void Widget::SetEnabledRecursive(bool enabled) {
    m_enabled = enabled;
    for (const auto& child : m_children)
        child->SetEnabledRecursive(enabled);
}

void Widget::SetOpacity(float opacity) {
    opacity = std::clamp(opacity, 0.0f, 1.0f);
    if (m_opacity == opacity)
        return;
    m_opacity = opacity;
    RequestRedraw();
}

void Widget::SetAccessibleName(std::u16string name) {
    if (m_accessibleName == name)
        return;
    m_accessibleName = std::move(name);
    RaiseAccessibilityEvent(AccessibilityEvent::NameChanged);
}

std::u16string_view Widget::HelpText() const {
    return m_helpText.empty() ? TooltipText() : std::u16string_view(m_helpText);
}

void Widget::Measure(SizeF available) {
    if (!m_visible) {
        m_desiredWidth = m_desiredHeight = 0;
        m_lastAvailable = available;
        m_measureValid = true;
        return;
    }
    if (m_measureValid && available == m_lastAvailable)
        return;

    float innerWidth = std::max(0.0f, available.width - m_margin.Horizontal());
    float innerHeight = std::max(0.0f, available.height - m_margin.Vertical());
    if (!std::isnan(m_width))
        innerWidth = m_width;
    if (!std::isnan(m_height))
        innerHeight = m_height;
    innerWidth = ClampMinWins(innerWidth, m_minWidth, m_maxWidth);
    innerHeight = ClampMinWins(innerHeight, m_minHeight, m_maxHeight);

    const SizeF content = MeasureOverride(SizeF{innerWidth, innerHeight});

    const float width =
        !std::isnan(m_width) ? m_width : ClampMinWins(content.width, m_minWidth, m_maxWidth);
    const float height =
        !std::isnan(m_height) ? m_height : ClampMinWins(content.height, m_minHeight, m_maxHeight);
    m_desiredWidth = width + m_margin.Horizontal();
    m_desiredHeight = height + m_margin.Vertical();
    m_lastAvailable = available;
    m_measureValid = true;
}

void Widget::Arrange(const RectF& box) {
    if (!m_visible) {
        m_lastArrangeRect = box;
        return;
    }
    if (m_arrangeValid && m_measureValid && box == m_lastArrangeRect)
        return;

    const float innerWidth = std::max(0.0f, box.width - m_margin.Horizontal());
    const float innerHeight = std::max(0.0f, box.height - m_margin.Vertical());
    float width = innerWidth;
    if (m_horizontalAlignment != Alignment::Stretch || !std::isnan(m_width))
        width = std::min(std::max(0.0f, m_desiredWidth - m_margin.Horizontal()), innerWidth);
    width = ClampMinWins(width, m_minWidth, m_maxWidth);
    float height = innerHeight;
    if (m_verticalAlignment != Alignment::Stretch || !std::isnan(m_height))
        height = std::min(std::max(0.0f, m_desiredHeight - m_margin.Vertical()), innerHeight);
    height = ClampMinWins(height, m_minHeight, m_maxHeight);

    m_x = box.x + m_margin.left + AlignOffset(m_horizontalAlignment, innerWidth - width);
    m_y = box.y + m_margin.top + AlignOffset(m_verticalAlignment, innerHeight - height);
    m_actualWidth = width;
    m_actualHeight = height;
    m_lastArrangeRect = box;
    ArrangeOverride(SizeF{width, height});
    m_arrangeValid = true;
    RequestRedraw();
}

void Widget::InvalidateMeasure() {
    // Hidden children stay unmeasured under a measured parent, so the walk
    // cannot stop at the first ancestor that is already invalid.
    for (Widget* w = this; w != nullptr; w = w->m_parent) {
        w->m_measureValid = false;
        w->m_arrangeValid = false;
    }
    if (m_host != nullptr)
        m_host->RequestLayout();
}

void Widget::InvalidateArrange() {
    if (!m_measureValid) {
        InvalidateMeasure();
        return;
    }
    m_arrangeValid = false;
    Arrange(m_lastArrangeRect);
}

SizeF Widget::MeasureOverride(SizeF available) {
    SizeF size;
    for (const auto& child : m_children) {
        if (!child->m_visible)
            continue;
        child->Measure(available);
        size.width = std::max(size.width, child->m_desiredWidth);
        size.height = std::max(size.height, child->m_desiredHeight);
    }
    return size;
}

void Widget::ArrangeOverride(SizeF finalSize) {
    for (const auto& child : m_children)
        if (child->m_visible)
            child->Arrange(RectF{0, 0, finalSize.width, finalSize.height});
}

Widget* Widget::HitTest(PointF point) {
    if (!m_visible || point.x < 0 || point.y < 0 || point.x >= m_actualWidth ||
        point.y >= m_actualHeight)
        return nullptr;
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
        Widget& child = **it;
        if (!child.m_visible)
            continue;
        if (Widget* hit = child.HitTest(PointF{point.x - child.m_x, point.y - child.m_y}))
            return hit;
    }
    return TakesHitsItself() ? this : nullptr;
}

void Widget::Paint(Canvas& canvas) {
    if (!m_visible || !(m_opacity > 0))
        return;
    const RectF box{m_x, m_y, m_actualWidth, m_actualHeight};
    if (!canvas.IsVisible(box))
        return;
    canvas.PushOffset(m_x, m_y);
    const bool layered = m_opacity < 1;
    if (layered) {
        // The layer covers only this box: a widget draws inside its box.
        canvas.PushClip(RectF{0, 0, m_actualWidth, m_actualHeight});
        canvas.PushOpacity(m_opacity);
    }
    Draw(canvas);
    DrawChildren(canvas);
    if (layered) {
        canvas.PopOpacity();
        canvas.PopClip();
    }
    canvas.PopOffset();
}

void Widget::DrawChildren(Canvas& canvas) {
    for (const auto& child : m_children)
        child->Paint(canvas);
}

void Widget::RequestRedraw() {
    if (m_host != nullptr)
        m_host->RequestPaint();
}

bool Widget::RequestFocus(bool fromKeyboard) {
    return m_host != nullptr && m_host->SetFocus(this, fromKeyboard);
}

std::uint64_t Widget::StartTimer(double seconds, std::function<void()> callback, bool repeat) {
    if (m_host == nullptr)
        return 0;
    return m_host->SetTimer(this, seconds, std::move(callback), repeat);
}

void Widget::RaiseAccessibilityEvent(AccessibilityEvent event) {
    if (m_host != nullptr)
        m_host->RaiseAccessibilityEvent(*this, event);
}

RectF Widget::BoundsInWindow() const {
    RectF bounds{m_x, m_y, m_actualWidth, m_actualHeight};
    if (!m_visible)
        return RectF{};
    for (const Widget* w = m_parent; w != nullptr; w = w->m_parent) {
        if (!w->m_visible)
            return RectF{};
        bounds.x += w->m_x;
        bounds.y += w->m_y;
    }
    return bounds;
}

const Theme& Widget::GetTheme() const {
    return m_host != nullptr ? m_host->GetTheme() : DetachedTheme();
}

float Widget::DpiScale() const {
    return m_host != nullptr ? m_host->DpiScale() : 1.0f;
}

void Widget::NotifyThemeChanged() {
    NotifyThemeChangedRecursive();
    InvalidateMeasure();
    RequestRedraw();
}

void Widget::NotifyThemeChangedRecursive() {
    OnThemeChanged();
    m_measureValid = false;
    m_arrangeValid = false;
    for (const auto& child : m_children)
        child->NotifyThemeChangedRecursive();
}

} // namespace Velto::Widget
