#pragma once

#include "widget/list/column.h"

#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget {
class Button;
class Stack;
class Widget;
} // namespace Velto::Widget

namespace Velto::Widget::List {
class ListView;
class IListDataSource;
} // namespace Velto::Widget::List

namespace App {

// The layout the accounts and access-log pages share: a description and the
// page's buttons on top, the list in a card filling the rest.
struct TablePage {
    static constexpr float kMinColumnWidth = 48;
    static constexpr float kMaxColumnWidth = 2000;

    std::unique_ptr<Velto::Widget::Widget> root;
    Velto::Widget::Stack* buttons{nullptr};
    Velto::Widget::List::ListView* list{nullptr};
};

struct TableColumn {
    std::u16string title;
    float width{120};
    bool trailing{false};
};

TablePage MakeTablePage(const std::u16string& title, const std::u16string& description,
                        const std::u16string& emptyText, const std::vector<TableColumn>& columns,
                        const Velto::Widget::List::IListDataSource& source);

// A page button with its icon.
std::unique_ptr<Velto::Widget::Button> MakePageButton(std::u16string text, char32_t glyph,
                                                      bool accent, std::u16string automationId);

} // namespace App
