#include "app/desktop/shares/share_actions.h"

#include "app/desktop/shares/dropped_paths.h"
#include "app/desktop/shares/share_list_edits.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "base/utf.h"

#include <algorithm>

namespace App {

using Velto::Corvane::Config;
using Velto::Corvane::Share;

ShareActions::ShareActions(ServiceCommands& commands, UiLanguage language, Hooks hooks)
    : m_commands(commands), m_language(language), m_hooks(std::move(hooks)) {}

void ShareActions::Report(std::string_view feature) const {
    if (m_hooks.report)
        m_hooks.report(feature);
}

void ShareActions::AddPaths(const std::vector<std::string>& paths) {
    const std::vector<ShareCandidate> candidates = ShareCandidates(paths);
    if (candidates.empty()) {
        if (m_hooks.inform)
            m_hooks.inform(Text(TextId::NothingShareableDropped, m_language));
        return;
    }
    if (m_hooks.showHome)
        m_hooks.showHome();
    for (const ShareCandidate& candidate : candidates)
        AddShare(candidate.path, candidate.isFile);
}

void ShareActions::AddShare(std::u16string path, bool isFile) {
    Report(isFile ? "share_file" : "share_folder");
    const Config config = m_commands.Current();
    Share share = NewShare(config, std::move(path), isFile);
    // A share without an id could never be edited or removed again.
    if (share.id.empty()) {
        if (m_hooks.showError)
            m_hooks.showError(Format(TextId::ErrorCode, m_language, {u"80004005"}));
        return;
    }
    if (!m_hooks.editShare || !m_hooks.editShare(config, share, true))
        return;
    Apply([share](Config& current) {
        if (current.FindShareById(share.id))
            return false;
        current.shares.push_back(share);
        return true;
    });
}

void ShareActions::EditShare(const std::string& id) {
    Report("edit_share");
    const Config config = m_commands.Current();
    const Share* found = config.FindShareById(id);
    if (!found)
        return;
    Share share = *found;
    if (!m_hooks.editShare || !m_hooks.editShare(config, share, false))
        return;
    Apply([share](Config& current) { return ReplaceShare(current, share); });
}

void ShareActions::StopSharing(const std::string& id) {
    Report("stop_sharing");
    const Config config = m_commands.Current();
    const Share* found = config.FindShareById(id);
    if (!found)
        return;
    // Its links go with it: the question says how many.
    const auto links =
        std::count_if(config.links.begin(), config.links.end(),
                      [&id](const Velto::Corvane::ShareLink& link) { return link.shareId == id; });
    const std::u16string question =
        links == 0 ? Format(TextId::ConfirmStopSharing, m_language, {found->name})
                   : Format(TextId::ConfirmStopSharingWithLinks, m_language,
                            {found->name, Velto::Utf8ToUtf16(std::to_string(links))});
    const bool yes = m_hooks.ask && m_hooks.ask(Text(TextId::StopSharing, m_language), question);
    if (!yes)
        return;
    Apply([id](Config& current) { return RemoveShare(current, id); });
}

void ShareActions::Apply(ServiceCommands::Edit edit) {
    m_commands.Change(std::move(edit), [this](const ConfigEditResult& result) {
        if (!result.applied)
            return;
        if (!result.saved && m_hooks.showError)
            m_hooks.showError(Text(TextId::SettingsNotSaved, m_language));
        if (m_hooks.trace) {
            m_hooks.trace("config applied shares=" + std::to_string(result.shares) +
                          " accounts=" + std::to_string(result.accounts));
        }
        if (m_hooks.changed)
            m_hooks.changed();
    });
}

} // namespace App
