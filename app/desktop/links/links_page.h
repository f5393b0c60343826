#pragma once

#include "app/desktop/page.h"
#include "app/desktop/table_source.h"
#include "app/texts/ui_language.h"
#include "config/config.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget {
class Button;
class Widget;
} // namespace Velto::Widget

namespace Velto::Widget::List {
class ListView;
}

namespace App {

// The links page: every link (label, target, mode, expiry, uses) with the
// buttons that copy its address, show it as a QR code and revoke it. It
// follows the configuration, also where the server changed it (links made
// on the web, uses counted), at each status refresh.
class LinksPage final : public Page {
public:
    explicit LinksPage(PageContext& context);
    ~LinksPage() override;

    void Refresh(const Velto::Corvane::ServiceStatus&) override { FillIfChanged(); }
    // Refills the table from the configuration, keeping the selected link.
    void Fill();
    // Refills only when what the rows show changed (or a link expired), so
    // that the selection and the scroll position stay while nothing changes.
    void FillIfChanged();
    void CopyAddress();
    void ShowQr();
    void Revoke();

    Velto::Widget::List::ListView* List() const { return m_list; }
    // The link ids in row order, as last filled.
    const std::vector<std::string>& Ids() const { return m_ids; }

private:
    // What a row shows, to tell whether a refill is due.
    struct Shown {
        Velto::Corvane::ShareLink link;
        bool expired{false};
        std::u16string target;
        bool operator==(const Shown& other) const;
    };
    struct Signature {
        std::vector<Shown> rows;
        std::u16string address;
        bool operator==(const Signature&) const = default;
    };
    Signature SignatureNow() const;
    std::unique_ptr<Velto::Widget::Widget> Build();
    void UpdateButtons();
    // The selected link as the configuration holds it now; none when nothing
    // is selected or the link has gone.
    std::optional<Velto::Corvane::ShareLink> SelectedLink() const;

    UiLanguage m_language{UiLanguage::Korean};
    // The list's rows; the list goes before it (see the destructor).
    TableSource m_table;
    Velto::Widget::List::ListView* m_list{nullptr};
    Velto::Widget::Button* m_copy{nullptr};
    Velto::Widget::Button* m_qr{nullptr};
    Velto::Widget::Button* m_revoke{nullptr};
    std::vector<std::string> m_ids;
    Signature m_shown;
};

} // namespace App
