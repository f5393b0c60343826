#include "widget/window/dialog.h"

#include "widget/core/stack.h"
#include "widget/input/key_codes.h"
#include "widget/window/application.h"
#include "widget/window/kit_settings.h"
#include "widget/window/theme_choice.h"

#include <SDL2/SDL_video.h>

#include <algorithm>
#include <cmath>

namespace Velto::Widget {

Dialog::Dialog(float width) : m_width(width) {
    auto root = std::make_unique<Stack>(Orientation::Vertical, kRootSpacing);
    root->SetMargin(kMargin);
    m_content = root->Add(std::make_unique<Stack>(Orientation::Vertical, kContentSpacing));
    m_buttons = root->Add(std::make_unique<Stack>(Orientation::Horizontal, kButtonSpacing));
    m_buttons->SetHorizontalAlignment(Alignment::End);
    SetRoot(std::move(root));
}

Dialog::~Dialog() {
    EndDialog(kClosedResult);
    ReleaseRoot();
    DestroyNative();
}

void Dialog::AddButtonWidget(std::unique_ptr<Widget> button, std::function<void()> press,
                             bool isDefault, bool isCancel) {
    button->SetMinWidth(kMinButtonWidth);
    Widget* raw = m_buttons->AddChild(std::move(button));
    if (isDefault)
        m_default = ButtonEntry{raw, press};
    if (isCancel)
        m_cancel = ButtonEntry{raw, std::move(press)};
}

bool Dialog::Press(const ButtonEntry& button) const {
    if (button.widget == nullptr || !button.widget->IsVisible() || !button.widget->IsEnabled())
        return false;
    button.press();
    return true;
}

bool Dialog::EnterPressesDefault() const {
    return m_default.widget != nullptr && m_default.widget->IsVisible() &&
           m_default.widget->IsEnabled();
}

bool Dialog::OnUnhandledKey(const KeyEvent& event) {
    if (event.repeat)
        return false;
    if (event.virtualKey == kKeyEnter)
        return Press(m_default);
    if (event.virtualKey == kKeyEscape) {
        if (!Press(m_cancel))
            EndDialog(kClosedResult);
        return true;
    }
    return false;
}

bool Dialog::OnCloseRequest() {
    if (!m_runningModally)
        return false;
    EndDialog(kClosedResult);
    return true;
}

void Dialog::EndDialog(std::int32_t result) {
    if (!m_runningModally || m_ending)
        return;
    m_result = result;
    m_ending = true;
    Application::Instance().Wake();
}

float Dialog::ContentHeight() {
    Widget* root = Root();
    root->Measure(SizeF{m_width, kInfinity});
    return std::max(1.0f, root->DesiredSize().height);
}

void Dialog::OnBeforeFrame() {
    if (!m_runningModally || m_ending)
        return;
    const float height = ContentHeight();
    if (std::fabs(height - ClientSize().height) < 0.5f)
        return;
    ResizeClient(SizeF{m_width, height});
    // A dialog that grew past the bottom of the work area moves up.
    const ScreenBounds area = WorkArea();
    const ScreenBounds bounds = ClientScreenBounds();
    const int pixelHeight = static_cast<int>(std::lround(height * DpiScale()));
    if (!area.IsEmpty() && bounds.y + pixelHeight > area.Bottom())
        MoveTo(bounds.x, std::max(area.y, area.Bottom() - pixelHeight));
}

void Dialog::FitAndPlace(Window* owner) {
    const float height = ContentHeight();
    ResizeClient(SizeF{m_width, height});
    if (Options().hasPosition || Options().hasBounds)
        return;
    const float scale = DpiScale();
    const int width = static_cast<int>(std::lround(m_width * scale));
    const int pixelHeight = static_cast<int>(std::lround(height * scale));
    const ScreenBounds area = WorkArea();
    ScreenBounds around = area;
    if (owner != nullptr && owner->IsCreated() && owner->IsShown())
        around = owner->ClientScreenBounds();
    int x = around.x + (around.width - width) / 2;
    int y = around.y + (around.height - pixelHeight) / 2;
    if (!area.IsEmpty()) {
        x = std::clamp(x, area.x, std::max(area.x, area.Right() - width));
        y = std::clamp(y, area.y, std::max(area.y, area.Bottom() - pixelHeight));
    }
    MoveTo(x, y);
}

std::int32_t Dialog::ShowModal(Window* owner, std::u16string_view title) {
    if (m_runningModally)
        return kClosedResult;
    if (!IsCreated()) {
        WindowOptions options;
        options.title = std::u16string(title);
        options.width = m_width;
        options.height = kInitialHeight;
        options.owner = owner;
        options.resizable = false;
        options.minimizable = false;
        options.maximizable = false;
        options.dialog = true;
        if (owner != nullptr) {
            options.resName = owner->Options().resName;
            options.resClass = owner->Options().resClass;
        }
        Kit::ApplyWindowOptionsHook(options);
        if (!Create(options))
            return kClosedResult;
        Kit::FollowThemeChoice(*this, nullptr);
        Kit::ApplyAppIcon(*this);
        InstallTooltips(TooltipOptions{});
        Kit::RunDialogHook(*this, title);
    } else {
        SetTitle(title);
    }

    FitAndPlace(owner);
    m_runningModally = true;
    m_ending = false;
    m_result = kClosedResult;
    m_modalOwner = owner;
    if (owner != nullptr) {
        owner->SetEnabled(false);
        ++owner->m_modalCount;
        if (owner->IsCreated())
            SDL_SetWindowModalFor(NativeWindow(), owner->NativeWindow());
    }
    if (Focused() == nullptr) {
        if (m_initialFocus == nullptr || !SetFocus(m_initialFocus, false))
            MoveFocus(true);
    }
    Show(Options().activateOnShow);

    Application::Instance().RunUntil([this] { return m_ending || !IsCreated(); });

    if (owner != nullptr) {
        owner->SetEnabled(true);
        --owner->m_modalCount;
    }
    const bool wasActive = IsActive();
    Hide();
    if (owner != nullptr && wasActive && owner->IsShown())
        owner->Activate();
    m_modalOwner = nullptr;
    m_runningModally = false;
    m_ending = false;
    return m_result;
}

} // namespace Velto::Widget
