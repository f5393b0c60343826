#include "app/desktop/shares/share_list_edits.h"

#include "app/texts/text_table.h"
#include "base/ordinal_compare.h"
#include "base/system_random.h"
#include "base/utf.h"

#include <algorithm>

namespace App {

namespace {

using Velto::Corvane::AccessFlags;
using Velto::Corvane::Config;
using Velto::Corvane::Share;

constexpr std::size_t kShareIdBytes = 8;
constexpr std::u16string_view kFallbackName = u"Share";
// Characters a share name may not hold besides the control characters.
constexpr std::u16string_view kRemovedFromNames = u"\\/:*?\"<>|";

bool IsSeparator(char16_t unit) {
    return unit == u'/' || unit == u'\\';
}

bool IsBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t';
}

bool NameTaken(const Config& config, std::u16string_view name) {
    return std::any_of(config.shares.begin(), config.shares.end(), [&](const Share& share) {
        return Velto::EqualsIgnoreCase(share.name, name);
    });
}

std::u16string CleanedLastComponent(std::u16string_view path) {
    while (path.size() > 1 && IsSeparator(path.back()))
        path.remove_suffix(1);
    const std::size_t slash = path.find_last_of(u'/');
    if (slash != std::u16string_view::npos)
        path.remove_prefix(slash + 1);

    std::u16string name;
    for (const char16_t unit : path) {
        if (unit < u' ' || kRemovedFromNames.find(unit) != std::u16string_view::npos)
            continue;
        name.push_back(unit);
    }
    while (!name.empty() && IsBlank(name.back()))
        name.pop_back();
    const auto firstKept = std::find_if_not(name.begin(), name.end(), IsBlank);
    name.erase(name.begin(), firstKept);
    while (!name.empty() && name.back() == u'.')
        name.pop_back();
    const auto firstNotDot =
        std::find_if_not(name.begin(), name.end(), [](char16_t unit) { return unit == u'.'; });
    name.erase(name.begin(), firstNotDot);
    if (name.size() > kProposedNameUnits)
        name.resize(kProposedNameUnits);
    return name;
}

} // namespace

std::u16string RightsText(AccessFlags rights, UiLanguage language) {
    const AccessFlags normal = Velto::Corvane::NormalizeAccess(rights);
    if (normal == AccessFlags::None)
        return Text(TextId::AccessNone, language);
    std::u16string text = Text(TextId::PermissionRead, language);
    if (Velto::Corvane::HasAccess(normal, AccessFlags::Write))
        text += u", " + Text(TextId::PermissionWrite, language);
    if (Velto::Corvane::HasAccess(normal, AccessFlags::Delete))
        text += u", " + Text(TextId::Delete, language);
    return text;
}

AccessFlags ListedGuestRights(const Share& share) {
    const AccessFlags guest = share.readOnly ? share.guest & AccessFlags::Read : share.guest;
    return Velto::Corvane::NormalizeAccess(guest);
}

std::u16string UniqueShareName(const Config& config, std::u16string_view path) {
    std::u16string base = CleanedLastComponent(path);
    // Cutting may leave a space or a dot at the end again.
    if (!Velto::Corvane::IsValidShareName(base))
        base = kFallbackName;
    std::u16string candidate = base;
    for (int number = 2; NameTaken(config, candidate); ++number)
        candidate = base + u' ' + Velto::Utf8ToUtf16(std::to_string(number));
    return candidate;
}

Share NewShare(const Config& config, std::u16string path, bool isFile) {
    Share share;
    share.id = Velto::RandomHex(kShareIdBytes);
    share.name = UniqueShareName(config, path);
    share.path = std::move(path);
    share.readOnly = isFile;
    share.guest = AccessFlags::Read;
    share.maxUploadBytes = 0;
    share.file = isFile;
    return share;
}

bool ReplaceShare(Config& config, const Share& share) {
    Share* existing = config.FindShareById(share.id);
    if (!existing)
        return false;
    *existing = share;
    return true;
}

bool RemoveShare(Config& config, std::string_view id) {
    const auto found = std::find_if(config.shares.begin(), config.shares.end(),
                                    [&](const Share& share) { return share.id == id; });
    if (found == config.shares.end())
        return false;
    config.shares.erase(found);
    for (auto& account : config.accounts)
        account.access.erase(std::string{id});
    // A link into the share would open nothing; it goes with the share.
    std::erase_if(config.links,
                  [id](const Velto::Corvane::ShareLink& link) { return link.shareId == id; });
    return true;
}

} // namespace App
