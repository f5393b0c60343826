#include "app/desktop/desktop_window.h"

#include "app/desktop/accounts/account_dialog.h"
#include "app/desktop/desktop_services.h"
#include "app/desktop/links/link_dialog.h"
#include "app/desktop/qr/qr_dialog.h"
#include "app/desktop/shares/share_dialog.h"
#include "app/run/trace_file.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "widget/controls/button.h"
#include "widget/core/stack.h"
#include "widget/dialogs/file_filter.h"
#include "widget/dialogs/message_dialog.h"
#include "widget/dialogs/pickers.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"
#include "widget/window/kit_settings.h"
#include "widget/window/standard_labels.h"
#include "widget/window/system_clipboard.h"
#include "widget/window/theme_choice.h"
#include "widget/window/window_options.h"

namespace App {

using namespace Velto::Widget;

namespace {

constexpr float kMessageBoxWidth = 420;

Kit::PickerOwner PickerOwnerOf(const Window& window) {
    Kit::PickerOwner owner;
    owner.x11Window = window.XWindow();
    owner.runUntil = [](const std::function<bool()>& done) {
        Application::Instance().RunUntil(done);
    };
    return owner;
}

// A message box over the window from the kit's buttons and content: the
// answer of the button pressed, or the set's safe answer when it was closed.
std::int32_t ShowMessageBox(Window& owner, std::u16string_view title, std::u16string text,
                            Kit::MessageButtons buttons, Kit::MessageIcon icon) {
    Dialog dialog{kMessageBoxWidth};
    dialog.Content().AddChild(Kit::BuildMessageContent(std::move(text), icon));
    for (const Kit::MessageButton& button : Kit::MessageButtonsOf(buttons, false)) {
        dialog.AddButton(std::make_unique<Button>(std::u16string{Kit::StandardLabel(button.label)}),
                         button.result, button.isDefault, button.isCancel);
    }
    return Kit::MessageResult(buttons, dialog.ShowModal(&owner, title));
}

} // namespace

DesktopWindow::DesktopWindow(Velto::Corvane::CorvaneService& service, MainWindow::Hooks hooks,
                             UiLanguage language)
    : m_main(std::make_unique<MainWindow>(service, MakeServices(), std::move(hooks), language)) {}

DesktopWindow::~DesktopWindow() {
    m_scopeMenu.Close();
    m_drops.Unregister();
    m_window.SetCloseHook({});
}

WindowServices DesktopWindow::MakeServices() {
    WindowServices services;
    AddDesktopShellServices(services);
    services.setContent = [this](std::unique_ptr<Widget> root) {
        m_window.SetRoot(std::move(root));
    };
    services.setTitle = [this](const std::u16string& title) { m_window.SetTitle(title); };
    services.post = [](std::function<void()> task) {
        Application::Instance().Post(std::move(task));
    };
    services.copyText = [this](std::u16string_view text) {
        return TheSystemClipboard().SetText(&m_window, text);
    };
    services.showMenu = [this](Widget& anchor, std::vector<MenuItem> items,
                               std::function<void(std::uint32_t)> chosen) {
        ShowScopeMenu(anchor, std::move(items), std::move(chosen));
    };
    services.showQr = [this](const std::u16string& address) {
        ShowQrDialog(&m_window, address, m_main->Language());
    };
    services.editShare = [this](const Velto::Corvane::Config& config, Velto::Corvane::Share& share,
                                bool isNew) {
        return EditShareDialog(&m_window, config, share, isNew, m_main->Language());
    };
    services.editAccount = [this](const Velto::Corvane::Config& config,
                                  Velto::Corvane::Account& account, bool isNew) {
        return EditAccountDialog(&m_window, config, account, isNew, m_main->Language());
    };
    services.newLink = [this](const Velto::Corvane::Share& share, const LinkKeeper& keep) {
        return NewLinkDialog(&m_window, share, m_main->Language(), keep,
                             [this](std::u16string_view text) {
                                 return TheSystemClipboard().SetText(&m_window, text);
                             });
    };
    services.showLink = [this](const std::u16string& title, const std::u16string& address) {
        ShowLinkDialog(&m_window, title, address, m_main->Language(),
                       [this](std::u16string_view text) {
                           return TheSystemClipboard().SetText(&m_window, text);
                       });
    };
    services.ask = [this](const std::u16string& title, const std::u16string& text) {
        return ShowMessageBox(m_window, title, text, Kit::MessageButtons::YesNo,
                              Kit::MessageIcon::Question) == Kit::kMessageYes;
    };
    services.inform = [this](const std::u16string& text) {
        ShowMessageBox(m_window, Text(TextId::AppName, m_main->Language()), text,
                       Kit::MessageButtons::Ok, Kit::MessageIcon::Information);
    };
    services.showError = [this](const std::u16string& text) {
        ShowMessageBox(m_window, Text(TextId::AppName, m_main->Language()), text,
                       Kit::MessageButtons::Ok, Kit::MessageIcon::Error);
    };
    services.pickFolder = [this](const std::u16string& title) {
        return Kit::PickFolder(PickerOwnerOf(m_window), title, {});
    };
    services.pickFiles = [this](const std::u16string& title) {
        return Kit::PickMany(PickerOwnerOf(m_window), title, false);
    };
    services.pickFile = [this](const std::u16string& title, const std::u16string& description,
                               const std::u16string& patterns) {
        const Kit::FileFilter filters[] = {{description, patterns}};
        return Kit::PickFile(PickerOwnerOf(m_window), title, filters);
    };
    return services;
}

bool DesktopWindow::Create() {
    WindowOptions options;
    options.title = Text(TextId::AppName, m_main->Language());
    options.width = MainWindow::kInitialWidth;
    options.height = MainWindow::kInitialHeight;
    options.minWidth = kMinWidth;
    options.minHeight = kMinHeight;
    options.resClass = kWindowClass;
    Kit::ApplyWindowOptionsHook(options);
    if (!m_window.Create(options))
        return false;
    Kit::ApplyAppIcon(m_window);
    Kit::FollowThemeChoice(m_window, {});
    InstallTooltips(m_window, TooltipOptions{});
    m_window.SetCloseHook([this] { return m_main->RequestClose(); });

    // The files of one drop are shared together, after the drop's own
    // exchange has ended.
    m_drops.Register(m_window, [this](std::vector<std::string> paths) { m_main->AddPaths(paths); });

    m_main->Create();
    return true;
}

void DesktopWindow::Show(bool parked) {
    if (parked) {
        m_window.Show(false);
        return;
    }
    m_window.Show(true);
    m_window.Activate();
}

void DesktopWindow::ShowScopeMenu(Widget& anchor, std::vector<MenuItem> items,
                                  std::function<void(std::uint32_t)> chosen) {
    m_scopeMenu.SetItems(std::move(items));
    m_scopeMenu.SetOnItemChosen([chosen = std::move(chosen)](MenuItem item) { chosen(item.id); });
    m_scopeMenu.ShowBelow(m_window, anchor.BoundsInWindow());
}

} // namespace App
