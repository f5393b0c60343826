#pragma once

#include "app/desktop/connection_view.h"
#include "app/ui_language.h"
#include "config/config.h"
#include "service/service_status.h"
#include "widget/core/widget.h"
#include "widget/menu/menu_item.h"
#include "widget/render/bitmap.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget {
class Border;
class Stack;
} // namespace Velto::Widget

namespace App {

// What the home page asks of the window around it. Every callback may be
// empty; the page then simply leaves that action out.
struct HomeActions {
    // Runs a task after the current widget callback has returned: actions
    // that rebuild the page must not destroy the widget whose callback runs.
    std::function<void(std::function<void()>)> post;
    std::function<Velto::Corvane::ServiceStatus()> readStatus;
    std::function<Velto::Corvane::Config()> readConfig;
    std::function<void(std::string_view feature)> report;
    std::function<bool(std::u16string_view text)> copyText;
    std::function<void(std::u16string_view url)> openAddress;
    std::function<void(const Velto::Corvane::Share&)> openShareLocation;
    std::function<void(Velto::Widget::Widget& anchor, std::vector<Velto::Widget::MenuItem> items,
                       std::function<void(std::uint32_t id)> chosen)>
        showMenu;
    std::function<void()> showQr;
    std::function<void()> startServer;
    std::function<void()> shareFolder;
    std::function<void()> shareFiles;
    std::function<void(const std::string& id)> editShare;
    std::function<void(const std::string& id)> stopSharing;
    std::function<std::shared_ptr<const Velto::Widget::Bitmap>(const Velto::Corvane::Share&)>
        shareIcon;
};

// The home page: the address card (where visitors connect, with copy, open
// and QR actions, and in Internet scope whether the router lets them in) and
// the list of shared folders and files. The card is rebuilt only when what
// it shows changes; the list whenever the configuration is refilled.
class HomePage {
public:
    // Copy buttons show "Copied" this long.
    static constexpr double kCopyFeedbackSeconds = 2.0;

    // `choice` is the window's: it outlives the page and survives rebuilds.
    HomePage(UiLanguage language, AddressChoice& choice, HomeActions actions);

    std::unique_ptr<Velto::Widget::Widget> Build();
    void UpdateConnection(const Velto::Corvane::ServiceStatus& status);
    void FillShares(const Velto::Corvane::Config& config);

    // Opens the scope menu at the scope button.
    void ShowScopeMenu(Velto::Widget::Widget& anchor);

    const std::u16string& ShownAddress() const { return m_shownAddress; }
    const std::u16string& Signature() const { return m_signature; }

private:
    std::unique_ptr<Velto::Widget::Widget> BuildShareButtons(const Velto::Corvane::Share& share);
    void Report(std::string_view feature) const;
    void Post(std::function<void()> task) const;

    UiLanguage m_language{UiLanguage::Korean};
    AddressChoice& m_choice;
    HomeActions m_actions;
    Velto::Widget::Stack* m_cardStack{nullptr};
    Velto::Widget::Border* m_sharesHost{nullptr};
    std::u16string m_signature;
    std::u16string m_shownAddress;
    std::vector<std::u16string> m_localList; // as last shown, for the scope menu
    // Tasks the page posts hold this weakly and do nothing once the page is gone.
    std::shared_ptr<bool> m_alive{std::make_shared<bool>(true)};
};

} // namespace App
