#include "bench/widget/demo_tree.h"

#include "widget/core/border.h"
#include "widget/core/grid.h"
#include "widget/core/icon.h"
#include "widget/core/label.h"
#include "widget/core/scroll_viewer.h"
#include "widget/core/separator.h"
#include "widget/core/stack.h"

#include <string>

namespace Velto::Widget::Demo {
namespace {

std::unique_ptr<Widget> NavItem(char32_t glyph, std::u16string text, bool selected) {
    auto row = std::make_unique<Border>();
    row->SetPadding(Thickness{12, 8, 12, 8});
    row->SetCornerRadius(4);
    if (selected)
        row->SetBackground(BorderBackground::Explicit, Color{0, 0, 0, 0.06f});
    auto line = std::make_unique<Stack>(Orientation::Horizontal, 12);
    line->Add(std::make_unique<Icon>(glyph, 16));
    auto label = line->Add(std::make_unique<Label>(std::move(text)));
    label->SetVerticalAlignment(Alignment::Center);
    row->Add(std::move(line));
    return row;
}

std::unique_ptr<Widget> ShareCard(char32_t glyph, std::u16string name, std::u16string path,
                                  std::u16string tag, Tone tagTone) {
    auto card = std::make_unique<Border>();
    card->SetBackground(BorderBackground::CardBackground);
    card->SetOutline(BorderOutline::Control, 1);
    card->SetCornerRadius(4);
    card->SetPadding(Thickness{16, 12, 16, 12});
    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Auto());
    grid->AddColumn(GridLength::Star());
    grid->AddColumn(GridLength::Auto());
    grid->AddRow(GridLength::Auto());
    grid->AddRow(GridLength::Auto());
    grid->SetSpacing(2, 16);
    auto icon = std::make_unique<Icon>(glyph, 24, Tone::Accent);
    icon->SetVerticalAlignment(Alignment::Center);
    grid->AddAt(std::move(icon), 0, 0, 2, 1);
    auto title = std::make_unique<Label>(std::move(name));
    title->SetBold(true);
    title->SetTrimming(true);
    grid->AddAt(std::move(title), 0, 1);
    auto detail = std::make_unique<Label>(std::move(path), TextStyle::Caption);
    detail->SetTone(Tone::Secondary);
    detail->SetTrimming(true);
    grid->AddAt(std::move(detail), 1, 1);
    auto badge = std::make_unique<Label>(std::move(tag), TextStyle::Caption);
    badge->SetTone(tagTone);
    badge->SetVerticalAlignment(Alignment::Center);
    grid->AddAt(std::move(badge), 0, 2, 2, 1);
    card->Add(std::move(grid));
    return card;
}

} // namespace

std::unique_ptr<Widget> BuildDemoTree() {
    auto root = std::make_unique<Grid>();
    root->AddColumn(GridLength::Pixel(240));
    root->AddColumn(GridLength::Star());

    auto nav = std::make_unique<Stack>(Orientation::Vertical, 4);
    nav->SetMargin(Thickness{8, 16, 8, 16});
    nav->Add(NavItem(0xE838, u"공유 Shares", true));
    nav->Add(NavItem(0xE716, u"계정 Accounts", false));
    nav->Add(NavItem(0xE81C, u"접속 기록 Access log", false));
    nav->Add(NavItem(0xE713, u"설정 Settings", false));
    root->AddAt(std::move(nav), 0, 0);

    auto separator = std::make_unique<Separator>(Orientation::Vertical);
    separator->SetHorizontalAlignment(Alignment::End);
    root->AddAt(std::move(separator), 0, 0);

    auto page = std::make_unique<Grid>();
    page->AddRow(GridLength::Auto());
    page->AddRow(GridLength::Auto());
    page->AddRow(GridLength::Star());
    page->AddRow(GridLength::Auto());
    page->SetMargin(Thickness{24, 16, 24, 12});
    page->SetSpacing(12, 0);

    auto header = std::make_unique<Stack>(Orientation::Horizontal, 12);
    header->Add(std::make_unique<Icon>(0xE72B, 16));
    auto title = header->Add(std::make_unique<Label>(u"VeltoCorvane", TextStyle::Subtitle));
    title->SetVerticalAlignment(Alignment::Center);
    page->AddAt(std::move(header), 0, 0);

    auto notice = std::make_unique<Border>();
    notice->SetBackground(BorderBackground::FlyoutBackground);
    notice->SetOutline(BorderOutline::Divider, 1);
    notice->SetCornerRadius(8);
    notice->SetPadding(Thickness{16, 12, 16, 12});
    auto noticeRow = std::make_unique<Grid>();
    noticeRow->AddColumn(GridLength::Auto());
    noticeRow->AddColumn(GridLength::Star());
    noticeRow->SetSpacing(0, 12);
    noticeRow->AddAt(std::make_unique<Icon>(0xE7BA, 20, Tone::Caution), 0, 0);
    auto text = std::make_unique<Label>(
        u"공유기가 UPnP에 응답하지 않았습니다. The router did not answer over UPnP; open port "
        u"8080 on the router yourself to reach this PC from the Internet.");
    text->SetWrap(true);
    noticeRow->AddAt(std::move(text), 0, 1);
    notice->Add(std::move(noticeRow));
    page->AddAt(std::move(notice), 1, 0);

    auto list = std::make_unique<Stack>(Orientation::Vertical, 8);
    list->Add(ShareCard(0xE838, u"사진", u"/home/user/Pictures", u"읽기 전용 Read-only",
                        Tone::Secondary));
    list->Add(ShareCard(0xE838, u"Documents", u"/home/user/Documents", u"Guests may upload",
                        Tone::Accent));
    list->Add(ShareCard(0xE8A5, u"발표 자료.pdf", u"/home/user/Desktop/발표 자료.pdf", u"Password",
                        Tone::Caution));
    list->Add(ShareCard(0xE72E, u"Backups",
                        u"/mnt/storage/backups/2026/a-very-long-folder-name-that-trims", u"Error",
                        Tone::Critical));
    list->Add(ShareCard(0xE73E, u"Music 음악", u"/home/user/Music", u"Online", Tone::Success));
    for (int i = 0; i < 6; ++i)
        list->Add(ShareCard(0xE838, u"Folder " + std::u16string(1, static_cast<char16_t>(u'A' + i)),
                            u"/srv/share/" + std::u16string(1, static_cast<char16_t>(u'a' + i)),
                            u"Read-only", Tone::Secondary));
    auto scroller = std::make_unique<ScrollViewer>();
    scroller->SetContent(std::move(list));
    page->AddAt(std::move(scroller), 2, 0);

    auto status = std::make_unique<Label>(u"열린 연결: 3 · Sent: 1.2 MB · Received: 34 KB",
                                          TextStyle::Caption);
    status->SetTone(Tone::Secondary);
    page->AddAt(std::move(status), 3, 0);
    root->AddAt(std::move(page), 0, 1);
    return root;
}

std::unique_ptr<Widget> BuildCardGrid(int columns, int rows) {
    auto grid = std::make_unique<Grid>();
    for (int c = 0; c < columns; ++c)
        grid->AddColumn(GridLength::Star());
    for (int r = 0; r < rows; ++r)
        grid->AddRow(GridLength::Star());
    grid->SetSpacing(4, 4);
    grid->SetMargin(Thickness{8, 8, 8, 8});
    constexpr char32_t kGlyphs[] = {0xE838, 0xE8A5, 0xE72E, 0xE73E, 0xE713};
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int n = r * columns + c;
            auto card = std::make_unique<Border>();
            card->SetBackground(BorderBackground::CardBackground);
            card->SetOutline(BorderOutline::Control, 1);
            card->SetCornerRadius(4);
            card->SetPadding(Thickness{6, 3, 6, 3});
            auto cell = std::make_unique<Grid>();
            cell->AddColumn(GridLength::Auto());
            cell->AddColumn(GridLength::Star());
            cell->SetSpacing(0, 6);
            auto icon = std::make_unique<Icon>(kGlyphs[n % 5], 16, Tone::Accent);
            icon->SetVerticalAlignment(Alignment::Center);
            cell->AddAt(std::move(icon), 0, 0);
            auto texts = std::make_unique<Stack>();
            auto title = texts->Add(
                std::make_unique<Label>((n % 3 == 0 ? u"공유 " : u"Share ") +
                                        std::u16string(1, static_cast<char16_t>(u'A' + n % 26))));
            title->SetTrimming(true);
            auto detail = texts->Add(std::make_unique<Label>(
                u"Item " + std::u16string(1, static_cast<char16_t>(u'0' + n % 10)) + u" · 읽기",
                TextStyle::Caption));
            detail->SetTone(Tone::Secondary);
            detail->SetTrimming(true);
            cell->AddAt(std::move(texts), 0, 1);
            card->Add(std::move(cell));
            grid->AddAt(std::move(card), r, c);
        }
    }
    return grid;
}

} // namespace Velto::Widget::Demo
