#pragma once

#include "app/desktop/page_dialogs.h"
#include "app/desktop/table_source.h"
#include "app/ui_language.h"
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

class MainWindow;

// The access-log page: the most recent visitor actions, newest first. Clear
// list empties the in-memory list only; the daily files stay.
class AccessLogPage {
public:
    AccessLogPage(MainWindow& window, Velto::Corvane::AccessLog& log, const PageDialogs& dialogs);

    std::unique_ptr<Velto::Widget::Widget> Build();
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

    MainWindow& m_window;
    Velto::Corvane::AccessLog& m_log;
    const PageDialogs& m_dialogs;
    UiLanguage m_language{UiLanguage::Korean};
    Velto::Widget::List::ListView* m_list{nullptr};
    Signature m_shown;
};

// One row of the table: time, address, user, action, path, result, size.
TableSource::Row AccessLogRow(const Velto::Corvane::AccessLogEntry& entry, UiLanguage language);
// The action's text, or its name as logged when it has none.
std::u16string AccessLogActionText(std::string_view action, UiLanguage language);

} // namespace App
