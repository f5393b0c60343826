#include "app/desktop/log/access_log_page.h"

#include "app/desktop/service_commands.h"
#include "app/desktop/table_page.h"
#include "app/desktop/window_glyphs.h"
#include "app/desktop/window_services.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "app/texts/value_format.h"
#include "base/utf.h"
#include "widget/controls/button.h"
#include "widget/core/stack.h"
#include "widget/list/list_view.h"

#include <array>

namespace App {

using namespace Velto::Widget;
using Velto::Corvane::AccessLogEntry;

namespace {

constexpr char32_t kClearGlyph = 0xE74D;
constexpr std::int32_t kFirstSuccess = 200;
constexpr std::int32_t kLastSuccess = 299;

struct ActionName {
    std::string_view action;
    TextId text;
};
constexpr std::array<ActionName, 9> kActions{{
    {"login", TextId::ActionSignIn},
    {"loginFailed", TextId::ActionFailedSignIn},
    {"unlockFailed", TextId::ActionWrongSharePassword},
    {"download", TextId::ActionDownload},
    {"upload", TextId::ActionUpload},
    {"newFolder", TextId::ActionNewFolder},
    {"rename", TextId::ActionRename},
    {"delete", TextId::ActionDelete},
    {"zip", TextId::ActionZipDownload},
}};

} // namespace

std::u16string AccessLogActionText(std::string_view action, UiLanguage language) {
    for (const ActionName& entry : kActions) {
        if (entry.action == action)
            return Text(entry.text, language);
    }
    return Velto::Utf8ToUtf16(action);
}

TableSource::Row AccessLogRow(const AccessLogEntry& entry, UiLanguage language) {
    TableSource::Row row;
    row.push_back(Velto::Utf8ToUtf16(FormatLocalFileTime(entry.time)));
    row.push_back(Velto::Utf8ToUtf16(entry.address));
    row.push_back(entry.user.empty() ? Text(TextId::LogGuest, language) : entry.user);
    row.push_back(AccessLogActionText(entry.action, language));
    row.push_back(entry.detail);
    const bool done = entry.result >= kFirstSuccess && entry.result <= kLastSuccess;
    row.push_back(done ? Text(TextId::LogDone, language)
                       : Format(TextId::LogFailed, language,
                                {Velto::Utf8ToUtf16(std::to_string(entry.result))}));
    row.push_back(entry.size != 0 ? Velto::Utf8ToUtf16(FormatSize(entry.size)) : std::u16string{});
    return row;
}

AccessLogPage::AccessLogPage(PageContext& context)
    : Page(context), m_log(context.commands.Log()), m_language(context.language) {
    AddChild(Build());
}

// The list reads the rows it draws: it goes first.
AccessLogPage::~AccessLogPage() {
    ClearChildren();
}

std::unique_ptr<Widget> AccessLogPage::Build() {
    const UiLanguage language = m_language;
    TablePage page =
        MakeTablePage(Text(TextId::AccessLog, language), Text(TextId::ClearListHint, language),
                      Text(TextId::NothingLoggedYet, language),
                      {
                          {Text(TextId::LogTime, language), 172},
                          {Text(TextId::LogIpAddress, language), 120},
                          {Text(TextId::LogUser, language), 80},
                          {Text(TextId::LogAction, language), 184},
                          {Text(TextId::LogPath, language), 136},
                          {Text(TextId::LogResult, language), 112},
                          {Text(TextId::LogSize, language), 80, true},
                      },
                      m_table);
    m_list = page.list;
    auto clear = page.buttons->Add(
        MakePageButton(Text(TextId::ClearList, language), kClearGlyph, false, u"log.clear"));
    clear->SetOnClick([this] { ClearList(); });
    auto open = page.buttons->Add(MakePageButton(Text(TextId::OpenLogFolder, language),
                                                 Glyph::kOpenFolder, false, u"log.openFolder"));
    const std::string folder = m_log.LogsFolder();
    const auto& openFolder = Context().services.openFolder;
    open->SetEnabled(!folder.empty() && static_cast<bool>(openFolder));
    open->SetOnClick([this, folder] {
        if (Context().services.openFolder)
            Context().services.openFolder(folder);
    });
    Fill();
    return std::move(page.root);
}

AccessLogPage::Signature AccessLogPage::SignatureOf(const std::vector<AccessLogEntry>& entries) {
    Signature signature;
    signature.count = entries.size();
    if (!entries.empty()) {
        const AccessLogEntry& newest = entries.back();
        signature.newest = newest.time;
        signature.address = newest.address;
        signature.action = newest.action;
        signature.detail = newest.detail;
    }
    return signature;
}

void AccessLogPage::Fill() {
    if (!m_list)
        return;
    const std::vector<AccessLogEntry> entries = m_log.Snapshot();
    m_table.Clear();
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
        m_table.AddRow(AccessLogRow(*entry, m_language));
    m_shown = SignatureOf(entries);
    m_list->Reload();
}

void AccessLogPage::FillIfChanged() {
    if (!m_list)
        return;
    if (SignatureOf(m_log.Snapshot()) != m_shown)
        Fill();
}

void AccessLogPage::ClearList() {
    m_log.Clear();
    Fill();
}

} // namespace App
