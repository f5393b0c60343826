#include "widget/window/tip_popup.h"

#include "widget/core/border.h"
#include "widget/core/label.h"

#include <SDL2/SDL_video.h>

#include <algorithm>
#include <cmath>

namespace Velto::Widget {
namespace {

// The label reads "&" as an access-key mark; a tip shows its text as is.
std::u16string EscapeAccessKeys(std::u16string_view text) {
    std::u16string escaped;
    escaped.reserve(text.size());
    for (const char16_t c : text) {
        escaped.push_back(c);
        if (c == u'&')
            escaped.push_back(u'&');
    }
    return escaped;
}

} // namespace

TipPopup::TipPopup(Window& owner) : m_owner(owner) {
    SetDismissOnOutsideClick(false);
}

TipPopup::~TipPopup() = default;

std::uint32_t TipPopup::ExtraCreateFlags() const {
    return SDL_WINDOW_TOOLTIP | SDL_WINDOW_SKIP_TASKBAR;
}

void TipPopup::ShowText(std::u16string_view text, int x, int y, float maxWidth) {
    if (!IsCreated() && !CreateFor(m_owner))
        return;
    if (m_label == nullptr) {
        auto border = std::make_unique<Border>();
        border->SetPadding(Thickness{kPaddingX, kPaddingY, kPaddingX, kPaddingY});
        border->SetBackground(BorderBackground::FlyoutBackground);
        border->SetOutline(BorderOutline::Control);
        border->SetCornerRadius(GetTheme().overlayCornerRadius);
        auto label = std::make_unique<Label>();
        label->SetWrap(true);
        m_label = border->Add(std::move(label));
        SetRoot(std::move(border));
    }
    m_text = std::u16string(text);
    m_label->SetText(EscapeAccessKeys(text));
    SetDpiScale(m_owner.DpiScale());
    Widget* root = Root();
    root->SetMaxWidth(maxWidth);
    root->Measure(SizeF{maxWidth, kInfinity});
    const SizeF size = root->DesiredSize();
    const float scale = DpiScale();
    ScreenBounds bounds{x, y, std::max(1, static_cast<int>(std::ceil(size.width * scale))),
                        std::max(1, static_cast<int>(std::ceil(size.height * scale)))};
    const ScreenBounds area = m_owner.WorkArea();
    if (!area.IsEmpty()) {
        bounds.x = std::clamp(bounds.x, area.x, std::max(area.x, area.Right() - bounds.width));
        bounds.y = std::clamp(bounds.y, area.y, std::max(area.y, area.Bottom() - bounds.height));
    }
    ShowAt(bounds);
}

} // namespace Velto::Widget
