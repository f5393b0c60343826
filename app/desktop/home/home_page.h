#pragma once

#include "app/desktop/home/connection_view.h"
#include "app/desktop/page.h"
#include "config/config.h"
#include "service/service_status.h"

#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget {
class Border;
class Stack;
} // namespace Velto::Widget

namespace App {

// The home page: the address card (where visitors connect, with copy, open
// and QR actions, and in Internet scope whether the router lets them in) and
// the list of shared folders and files. The card is rebuilt only when what
// it shows changes; the list whenever the configuration is refilled.
class HomePage final : public Page {
public:
    // Copy buttons show "Copied" this long.
    static constexpr double kCopyFeedbackSeconds = 2.0;

    // `choice` is the window's: it outlives the page and survives rebuilds.
    HomePage(PageContext& context, AddressChoice& choice);

    void Refresh(const Velto::Corvane::ServiceStatus& status) override { UpdateConnection(status); }
    void UpdateConnection(const Velto::Corvane::ServiceStatus& status);
    void FillShares(const Velto::Corvane::Config& config);
    // Shows the address as a QR code, when there is one.
    void ShowQr();

    // Opens the scope menu at the scope button.
    void ShowScopeMenu(Velto::Widget::Widget& anchor);

    const std::u16string& ShownAddress() const { return m_shownAddress; }
    const std::u16string& Signature() const { return m_signature; }

private:
    std::unique_ptr<Velto::Widget::Widget> Build();
    std::unique_ptr<Velto::Widget::Widget> BuildShareButtons(const Velto::Corvane::Share& share);
    // The WebDAV address under the address, with its copy button and hint.
    std::unique_ptr<Velto::Widget::Widget> BuildDavRow();
    void ShareFolder();
    void ShareFiles();

    UiLanguage m_language{UiLanguage::Korean};
    AddressChoice& m_choice;
    Velto::Widget::Stack* m_cardStack{nullptr};
    Velto::Widget::Border* m_sharesHost{nullptr};
    std::u16string m_signature;
    std::u16string m_shownAddress;
    std::vector<std::u16string> m_localList; // as last shown, for the scope menu
};

} // namespace App
