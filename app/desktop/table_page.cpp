#include "app/desktop/table_page.h"

#include "app/desktop/window_cards.h"
#include "widget/controls/button.h"
#include "widget/core/grid.h"
#include "widget/core/stack.h"
#include "widget/list/list_view.h"

namespace App {

using namespace Velto::Widget;
using Velto::Widget::List::ListView;

namespace {

constexpr float kRowSpacing = 12;
constexpr float kColumnSpacing = 16;
constexpr float kButtonSpacing = 8;
constexpr Thickness kPageMargin{24, 20, 24, 24};
constexpr Thickness kListCardPadding{4, 4, 4, 4};

} // namespace

TablePage MakeTablePage(const std::u16string& title, const std::u16string& description,
                        const std::u16string& emptyText, const std::vector<TableColumn>& columns,
                        const List::IListDataSource& source) {
    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Star());
    grid->AddColumn(GridLength::Auto());
    grid->AddRow(GridLength::Auto());
    grid->AddRow(GridLength::Star());
    grid->SetSpacing(kRowSpacing, kColumnSpacing);
    grid->SetMargin(kPageMargin);

    auto text = MakeLabel(description, TextStyle::Body, Tone::Secondary);
    text->SetWrap(true);
    text->SetVerticalAlignment(Alignment::Center);
    grid->AddAt(std::move(text), 0, 0);

    TablePage page;
    auto buttons = std::make_unique<Stack>(Orientation::Horizontal, kButtonSpacing);
    buttons->SetVerticalAlignment(Alignment::Center);
    page.buttons = grid->AddAt(std::move(buttons), 0, 1);

    auto list = std::make_unique<ListView>();
    list->SetSource(&source);
    list->SetSelectionMode(Models::SelectionMode::Single);
    list->SetEmptyText(emptyText);
    list->SetAccessibleName(title);
    std::int32_t id = 0;
    for (const TableColumn& column : columns) {
        List::Column added;
        added.id = id++;
        added.title = column.title;
        added.width = column.width;
        added.minWidth = TablePage::kMinColumnWidth;
        added.maxWidth = TablePage::kMaxColumnWidth;
        if (column.trailing)
            added.alignment = TextAlignment::Trailing;
        list->AddColumn(std::move(added));
    }
    auto card = MakeCard(kListCardPadding);
    page.list = card->Add(std::move(list));
    grid->AddAt(std::move(card), 1, 0, 1, 2);
    page.root = std::move(grid);
    return page;
}

std::unique_ptr<Button> MakePageButton(std::u16string text, char32_t glyph, bool accent,
                                       std::u16string automationId) {
    auto button = std::make_unique<Button>(std::move(text));
    button->SetIcon(glyph);
    button->SetStyle(accent ? ButtonStyle::Accent : ButtonStyle::Standard);
    button->SetAutomationId(std::move(automationId));
    return button;
}

} // namespace App
