#include "bench/widget/controls_page.h"

#include "widget/controls/button.h"
#include "widget/controls/check_box.h"
#include "widget/controls/combo_box.h"
#include "widget/controls/number_box.h"
#include "widget/controls/text_box.h"
#include "widget/controls/toggle_button.h"
#include "widget/controls/toggle_switch.h"
#include "widget/core/border.h"
#include "widget/core/label.h"
#include "widget/core/stack.h"
#include "widget/input/headless_host.h"
#include "widget/input/key_codes.h"
#include "widget/list/list_view.h"

#include <string>
#include <vector>

namespace Velto::Widget::Demo {
namespace {

using namespace Velto::Widget::Controls;

constexpr SizeF kPage{1260, 680};
constexpr float kColumnWidth = 260;

class Files final : public List::IListDataSource {
public:
    std::int64_t RowCount() const override { return static_cast<std::int64_t>(m_rows.size()); }
    std::u16string_view CellText(std::int64_t row, std::int32_t column) const override {
        const auto& r = m_rows[static_cast<std::size_t>(row)];
        return column == 0 ? r.first : r.second;
    }

private:
    std::vector<std::pair<std::u16string, std::u16string>> m_rows = {
        {u"사진 Photos", u"1.2 GB"},
        {u"Documents", u"340 MB"},
        {u"음악", u"12 GB"},
        {u"Projects", u"2.8 GB"},
        {u"notes.txt", u"4 KB"},
        {u"video.mp4", u"700 MB"},
        {u"a very long file name that is cut at the column's edge.tar.gz", u"1 KB"},
    };
};

Stack* Column(Stack& page) {
    auto column = std::make_unique<Stack>(Orientation::Vertical, 10);
    column->SetWidth(kColumnWidth);
    return page.Add(std::move(column));
}

void Heading(Stack& column, std::u16string text) {
    column.Add(std::make_unique<Label>(std::move(text), TextStyle::Subtitle));
}

template <typename T> T* Start(Stack& column, std::unique_ptr<T> widget) {
    T* raw = column.Add(std::move(widget));
    raw->SetHorizontalAlignment(Alignment::Start);
    return raw;
}

} // namespace

bool RenderControlsPage(const Theme& theme, float scale, const std::string& path) {
    Files files;
    Stack page(Orientation::Horizontal, 24);
    page.SetMargin(Thickness{24, 20, 24, 20});
    HeadlessHost host(page, theme, scale);

    Stack& buttons = *Column(page);
    Heading(buttons, u"Buttons");
    Start(buttons, std::make_unique<Button>(u"&Standard"));
    Button* accent = Start(buttons, std::make_unique<Button>(u"Accent"));
    accent->SetStyle(ButtonStyle::Accent);
    Button* subtle = Start(buttons, std::make_unique<Button>(u"Subtle hovered"));
    subtle->SetStyle(ButtonStyle::Subtle);
    Button* icon = Start(buttons, std::make_unique<Button>(u"Add share"));
    icon->SetIcon(0xE710);
    Button* menu = Start(buttons, std::make_unique<Button>(u"Scope"));
    menu->SetDropDown(true);
    Button* iconOnly = Start(buttons, std::make_unique<Button>());
    iconOnly->SetIcon(0xE713);
    Button* disabled = Start(buttons, std::make_unique<Button>(u"Disabled accent"));
    disabled->SetStyle(ButtonStyle::Accent);
    disabled->SetEnabled(false);
    Button* focused = Start(buttons, std::make_unique<Button>(u"Focused default"));
    focused->SetDefault(true);
    ToggleButton* checked = Start(buttons, std::make_unique<ToggleButton>(u"Toggle on"));
    checked->SetChecked(true);
    Start(buttons, std::make_unique<ToggleButton>(u"Toggle off"));

    Stack& checks = *Column(page);
    Heading(checks, u"Check boxes and switches");
    Start(checks, std::make_unique<CheckBox>(u"Unchecked"));
    CheckBox* on = Start(checks, std::make_unique<CheckBox>(u"Checked"));
    on->SetState(CheckState::Checked);
    CheckBox* three = Start(checks, std::make_unique<CheckBox>(u"Indeterminate"));
    three->SetThreeState(true);
    three->SetState(CheckState::Indeterminate);
    CheckBox* off = Start(checks, std::make_unique<CheckBox>(u"Disabled checked"));
    off->SetState(CheckState::Checked);
    off->SetEnabled(false);
    ToggleSwitch* server = Start(checks, std::make_unique<ToggleSwitch>(u"Server on"));
    server->SetOn(true);
    Start(checks, std::make_unique<ToggleSwitch>(u"Switch off"));
    ToggleSwitch* grey = Start(checks, std::make_unique<ToggleSwitch>(u"Disabled"));
    grey->SetEnabled(false);
    Heading(checks, u"Labels");
    checks.Add(std::make_unique<Label>(u"Caption text", TextStyle::Caption));
    auto critical = std::make_unique<Label>(u"Critical tone");
    critical->SetTone(Tone::Critical);
    checks.Add(std::move(critical));

    Stack& inputs = *Column(page);
    Heading(inputs, u"Text and numbers");
    TextBox* placeholder = inputs.Add(std::make_unique<TextBox>());
    placeholder->SetPlaceholder(u"Share name");
    TextBox* selected = inputs.Add(std::make_unique<TextBox>());
    selected->SetText(u"공유 폴더 Shared folder");
    TextBox* error = inputs.Add(std::make_unique<TextBox>());
    error->SetText(u"bad/name");
    error->SetErrorText(u"A name cannot hold /");
    TextBox* password = inputs.Add(std::make_unique<TextBox>());
    password->SetPassword(true, true);
    password->SetText(u"hunter2");
    password->SetCapsLockQuery([] { return true; });
    TextBox* grayed = inputs.Add(std::make_unique<TextBox>());
    grayed->SetText(u"Disabled text");
    grayed->SetEnabled(false);
    NumberBox* port = inputs.Add(std::make_unique<NumberBox>());
    port->SetRange(1, 65535);
    port->SetValue(8080, false);
    NumberBox* size = inputs.Add(std::make_unique<NumberBox>());
    size->SetRange(0, 10000);
    size->SetDecimals(1);
    size->SetSuffix(u"MB");
    size->SetValue(512.5, false);
    ComboBox* language = inputs.Add(std::make_unique<ComboBox>());
    language->SetItems({u"한국어", u"English"});
    language->SetSelectedIndex(0, false);
    ComboBox* empty = inputs.Add(std::make_unique<ComboBox>());
    empty->SetItems({u"One", u"Two"});
    empty->SetPlaceholder(u"Choose…");

    Stack& lists = *Column(page);
    lists.SetWidth(kColumnWidth + 60);
    Heading(lists, u"List");
    auto list = std::make_unique<List::ListView>();
    list->SetHeight(300);
    list->AddColumn(List::Column{0, u"Name", 200});
    list->AddColumn(List::Column{1, u"Size", 100, 48, 2000, TextAlignment::Trailing});
    list->SetSortState(List::SortState{0, false});
    List::ListView* table = lists.Add(std::move(list));
    table->SetSource(&files);
    table->SelectOnly(1);
    table->Selection().SelectRange(2, true);
    auto emptyList = std::make_unique<List::ListView>();
    emptyList->SetHeight(110);
    emptyList->AddColumn(List::Column{0, u"Account", 200});
    lists.Add(std::move(emptyList));
    Heading(lists, u"Open drop-down");
    // The open list as its popup shows it, drawn in place.
    std::vector<std::u16string> choices = {u"System", u"Light", u"Dark"};
    auto panel = std::make_unique<ComboPanel>(choices, 1);
    panel->SetHeight(ComboPanel::HeightFor(choices.size()));
    auto card = std::make_unique<Border>();
    card->SetBackground(BorderBackground::FlyoutBackground);
    card->SetOutline(BorderOutline::Control, 1);
    card->SetCornerRadius(theme.overlayCornerRadius);
    card->Add(std::move(panel));
    lists.Add(std::move(card));

    // States that need input: focus rings, a selection, a hovered button.
    host.Layout(kPage);
    selected->RequestFocus(true);
    host.KeyDown(KeyEvent{kKeyHome});
    host.KeyDown(KeyEvent{kKeyRight, 0, kModShift | kModCtrl});
    host.KeyDown(KeyEvent{kKeyRight, 0, kModShift | kModCtrl});
    const RectF hover = subtle->BoundsInWindow();
    host.PointerMove(PointerEvent{PointF{hover.x + 10, hover.y + 10}});
    host.AdvanceTime(1);
    std::unique_ptr<CairoCanvas> canvas = host.Render(kPage);
    // Colour transitions run their course before the picture is taken.
    for (int i = 0; i < 30 && host.RenderFrame(*canvas, kPage); ++i)
        host.AdvanceTime(0.05);
    // The text box keeps the focus drawn; the focus ring shows on the
    // default button in a second picture.
    if (!canvas || !Velto::Succeeded(canvas->WritePng(path)))
        return false;
    focused->RequestFocus(true);
    host.RenderFrame(*canvas, kPage);
    const std::string ring = path.substr(0, path.size() - 4) + "-focus.png";
    return Velto::Succeeded(canvas->WritePng(ring));
}

} // namespace Velto::Widget::Demo
