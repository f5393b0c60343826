#pragma once

#include "app/desktop/page.h"
#include "app/desktop/table_source.h"
#include "app/texts/ui_language.h"
#include "config/access_log.h"

#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget {
class Widget;
}

namespace Velto::Widget::List {
class ListView;
}

namespace App {

// The access-log page: the most recent visitor actions, newest first. Clear
// list empties the in-memory list only; the daily files stay.
class AccessLogPage final : public Page {
public:
    explicit AccessLogPage(PageContext& context);
    ~AccessLogPage() override;

    // New entries since the last fill show.
    void Refresh(const Velto::Corvane::ServiceStatus&) override { FillIfChanged(); }
    // Refills the table from the log's recent entries.
    void Fill();
    // Refills only when the log changed since the last fill, so that the
    // selection and the scroll position stay while nothing new arrives.
    void FillIfChanged();
    void ClearList();

    Velto::Widget::List::ListView* List() const { return m_list; }

private:
    struct Signature {
        std::size_t count{0};
        Velto::FileTime newest{0};
        std::string address;
        std::string action;
        std::u16string detail;
        bool operator==(const Signature&) const = default;
    };
    static Signature SignatureOf(const std::vector<Velto::Corvane::AccessLogEntry>& entries);
    std::unique_ptr<Velto::Widget::Widget> Build();

    Velto::Corvane::AccessLog& m_log;
    UiLanguage m_language{UiLanguage::Korean};
    // The list's rows; the list goes before it (see the destructor).
    TableSource m_table;
    Velto::Widget::List::ListView* m_list{nullptr};
    Signature m_shown;
};

// One row of the table: time, address, user, action, path, result, size.
TableSource::Row AccessLogRow(const Velto::Corvane::AccessLogEntry& entry, UiLanguage language);
// The action's text, or its name as logged when it has none.
std::u16string AccessLogActionText(std::string_view action, UiLanguage language);

} // namespace App
