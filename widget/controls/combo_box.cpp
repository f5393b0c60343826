#include "widget/controls/combo_box.h"

#include "widget/controls/combo_popup.h"
#include "widget/input/input_router.h"
#include "widget/input/key_codes.h"
#include "widget/render/canvas.h"
#include "widget/window/window.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Velto::Widget::Controls {
namespace {

constexpr double kMsPerSecond = 1000;
constexpr float kFocusInnerGap = 1;
constexpr float kFocusInnerWidth = 1;

} // namespace

ComboBox::ComboBox() = default;

ComboBox::~ComboBox() {
    Close();
}

double ComboBox::NowMs() const {
    const auto* host = dynamic_cast<const InputRouter*>(GetHost());
    return host != nullptr ? host->Now() * kMsPerSecond : 0;
}

void ComboBox::SetItems(std::vector<std::u16string> items) {
    Close();
    m_items = std::move(items);
    if (m_selected >= static_cast<int>(m_items.size()))
        m_selected = -1;
    m_layout.reset();
    RequestRedraw();
}

void ComboBox::SetSelectedIndex(int index, bool notify) {
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        index = -1;
    if (index == m_selected)
        return;
    m_selected = index;
    m_layout.reset();
    RequestRedraw();
    RaiseAccessibilityEvent(AccessibilityEvent::SelectionChanged);
    if (notify && m_onSelectionChanged)
        m_onSelectionChanged(index);
}

void ComboBox::SetPlaceholder(std::u16string text) {
    m_placeholder = std::move(text);
    m_layout.reset();
    RequestRedraw();
}

bool ComboBox::Open() {
    if (IsOpen())
        return true;
    auto* host = dynamic_cast<InputRouter*>(GetHost());
    auto* window = dynamic_cast<Window*>(host);
    if ((!m_presenter && window == nullptr) || host == nullptr || !IsEnabled())
        return false;
    m_typeAhead.Reset();
    if (m_popup != nullptr)
        m_popup->Release();
    m_closedPanel.reset();
    m_panel = std::make_unique<ComboPanel>(m_items, m_selected);
    m_panel->SetOnChosen([this](int index) { Choose(index); });
    m_panel->SetOnDismissed([this] { Close(); });
    // Keys reach the open list before anything else in the window.
    RouteHandlers handlers;
    handlers.keyDown = [this](const KeyEvent& e) {
        return m_panel && m_panel->HandleKey(e, NowMs());
    };
    handlers.character = [this](const CharEvent& e) {
        return m_panel && m_panel->HandleChar(e, NowMs());
    };
    m_route = std::make_unique<KeyRoute>(*host, std::move(handlers));
    const RectF bounds = BoundsInWindow();
    const SizeF size{ActualWidth(), ComboPanel::HeightFor(m_items.size())};
    m_hidePopup = m_presenter ? m_presenter(*this, *m_panel, bounds, size)
                              : ShowInWindowPopup(*m_panel, bounds, size);
    if (!m_hidePopup) {
        m_route.reset();
        m_panel.reset();
        return false;
    }
    RequestRedraw();
    return true;
}

std::function<void()> ComboBox::ShowInWindowPopup(ComboPanel& panel, RectF anchor, SizeF size) {
    auto* window = dynamic_cast<Window*>(GetHost());
    if (window == nullptr)
        return nullptr;
    if (m_popup == nullptr)
        m_popup = std::make_unique<ComboPopup>();
    if (!m_popup->ShowFor(*window, panel, anchor, size)) {
        m_popup->Release();
        return nullptr;
    }
    m_popup->SetOnDismissed([this] { Close(); });
    // Hiding may run inside the list's own click: the popup only unmaps.
    ComboPopup* popup = m_popup.get();
    return [popup] { popup->Hide(); };
}

void ComboBox::Close() {
    if (!m_panel)
        return;
    // The popup lets go of the panel before the panel goes.
    if (auto hide = std::exchange(m_hidePopup, nullptr))
        hide();
    m_route.reset();
    // Closing may run inside the panel's own input handler: the panel stays
    // until the next opening or the box's end.
    m_closedPanel = std::move(m_panel);
    RequestRedraw();
}

void ComboBox::Choose(int index) {
    Close();
    SetSelectedIndex(index, true);
}

bool ComboBox::OnKeyDown(const KeyEvent& event) {
    if (!IsEnabled())
        return false;
    const bool alt = (event.modifiers & kModAlt) != 0;
    const bool ctrl = (event.modifiers & kModCtrl) != 0;
    if ((alt && event.virtualKey == kKeyDown) || (!alt && event.virtualKey == KeyF(4))) {
        Open();
        return true;
    }
    if (alt || ctrl)
        return false;
    const int last = static_cast<int>(m_items.size()) - 1;
    switch (event.virtualKey) {
    case kKeySpace:
        // A running search takes the space as text.
        if (m_typeAhead.IsRunning(NowMs()))
            return false;
        Open();
        return true;
    case kKeyEnter: {
        // In a dialog Enter belongs to the default button while the list is
        // closed; elsewhere it opens the list.
        const auto* router = dynamic_cast<const InputRouter*>(GetHost());
        if (event.repeat || (router != nullptr && router->EnterPressesDefault()))
            return false;
        Open();
        return true;
    }
    case kKeyUp:
    case kKeyLeft:
        if (m_selected > 0)
            SetSelectedIndex(m_selected - 1, true);
        return true;
    case kKeyDown:
    case kKeyRight:
        if (m_selected < last)
            SetSelectedIndex(m_selected + 1, true);
        return true;
    case kKeyHome:
        if (last >= 0)
            SetSelectedIndex(0, true);
        return true;
    case kKeyEnd:
        if (last >= 0)
            SetSelectedIndex(last, true);
        return true;
    default:
        return false;
    }
}

bool ComboBox::OnChar(const CharEvent& event) {
    if (!IsEnabled() || event.typedWithAlt || (event.modifiers & kModCtrl) != 0)
        return false;
    if (!Models::TypeAhead::Accepts(event.character))
        return false;
    const double now = NowMs();
    if (event.character == U' ' && !m_typeAhead.IsRunning(now))
        return true; // the key itself opened the list
    m_typeAhead.Type(event.character, now);
    const std::int64_t found = m_typeAhead.Find(
        static_cast<std::int64_t>(m_items.size()), m_selected, [this](std::int64_t row) {
            return std::u16string_view(m_items[static_cast<std::size_t>(row)]);
        });
    if (found >= 0)
        SetSelectedIndex(static_cast<int>(found), true);
    return true;
}

bool ComboBox::OnPointerDown(const PointerEvent& event) {
    if (event.button != PointerButton::Left)
        return false;
    if (!IsEnabled())
        return true;
    RequestFocus(false);
    m_pressed = true;
    RequestRedraw();
    if (IsOpen())
        Close();
    else
        Open();
    return true;
}

bool ComboBox::OnPointerUp(const PointerEvent& event) {
    if (event.button != PointerButton::Left || !m_pressed)
        return false;
    m_pressed = false;
    RequestRedraw();
    return true;
}

void ComboBox::OnCaptureLost() {
    m_pressed = false;
    RequestRedraw();
}

void ComboBox::OnPointerEnter() {
    m_hovered = true;
    RequestRedraw();
}

void ComboBox::OnPointerLeave() {
    m_hovered = false;
    RequestRedraw();
}

void ComboBox::OnFocusChanged(bool focused) {
    if (!focused) {
        m_typeAhead.Reset();
        Close();
    }
}

SizeF ComboBox::MeasureOverride(SizeF available) {
    const float width = std::isinf(available.width) ? kDefaultWidth : available.width;
    return SizeF{width, GetTheme().controlHeight};
}

void ComboBox::DrawFocusVisual(Canvas& canvas) {
    const Theme& theme = GetTheme();
    const float margin = theme.focusMargin;
    const float outer = theme.focusThickness;
    const float r = theme.controlCornerRadius;
    canvas.StrokeRoundedRect(RectF{-margin + outer / 2, -margin + outer / 2,
                                   ActualWidth() + 2 * margin - outer,
                                   ActualHeight() + 2 * margin - outer},
                             r + margin - outer / 2, theme.focusStrokeOuter, outer);
    canvas.StrokeRoundedRect(
        RectF{-kFocusInnerGap + kFocusInnerWidth / 2, -kFocusInnerGap + kFocusInnerWidth / 2,
              ActualWidth() + 2 * kFocusInnerGap - kFocusInnerWidth,
              ActualHeight() + 2 * kFocusInnerGap - kFocusInnerWidth},
        r + kFocusInnerGap - kFocusInnerWidth / 2, theme.focusStrokeInner, kFocusInnerWidth);
}

void ComboBox::Draw(Canvas& canvas) {
    const Theme& theme = GetTheme();
    const bool enabled = IsEnabled();
    const RectF box{0, 0, ActualWidth(), ActualHeight()};
    const float radius = theme.controlCornerRadius;
    Color fill = theme.controlFill;
    if (!enabled)
        fill = theme.controlFillDisabled;
    else if (m_pressed || IsOpen())
        fill = theme.controlFillPressed;
    else if (m_hovered)
        fill = theme.controlFillHover;
    canvas.FillRoundedRect(box, radius, fill);
    const float hairline = canvas.Hairline();
    canvas.StrokeRoundedRect(
        RectF{hairline / 2, hairline / 2, box.width - hairline, box.height - hairline}, radius,
        enabled ? theme.controlStroke : theme.controlStrokeDisabled, hairline);
    if (enabled)
        canvas.FillRect(RectF{radius / 2, box.height - hairline, box.width - radius, hairline},
                        theme.controlStrongStroke);

    const bool hasItem = m_selected >= 0;
    const std::u16string& text =
        hasItem ? m_items[static_cast<std::size_t>(m_selected)] : m_placeholder;
    const float width = std::max(1.0f, box.width - kTextReserve);
    if (!text.empty()) {
        if (!m_layout || m_layout->Text() != text || m_layout->MaxWidth() != width) {
            TextFormat format;
            format.size = theme.bodySize;
            format.weight = kWeightRegular;
            TextOptions options;
            options.trimming = TextTrimming::CharacterEllipsis;
            m_layout = std::make_unique<TextLayout>(text, format, options, width);
        }
        const Color color = !enabled  ? theme.textTertiary
                            : hasItem ? theme.textPrimary
                                      : theme.textPlaceholder;
        canvas.DrawTextLayout(
            *m_layout, PointF{kTextLeft, std::round((box.height - m_layout->Size().height) / 2)},
            color);
    }
    const float chevronX = box.width - kChevronFromRight + (kChevronBoxWidth - kChevronSize) / 2;
    canvas.DrawIconGlyph(kChevronGlyph, PointF{chevronX, (box.height - kChevronSize) / 2},
                         kChevronSize, enabled ? theme.textSecondary : theme.textTertiary);
}

} // namespace Velto::Widget::Controls
