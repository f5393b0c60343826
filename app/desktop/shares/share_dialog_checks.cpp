#include "app/desktop/shares/share_dialog_checks.h"

#include "base/ordinal_compare.h"
#include "base/utf.h"
#include "config/password_hash.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace App {

namespace {

using Velto::Corvane::AccessFlags;
using Velto::Corvane::Config;
using Velto::Corvane::Share;

bool IsBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t';
}

enum class PathKind { Missing, Folder, Other };

PathKind KindOf(std::u16string_view path) {
    struct stat info {};
    if (::stat(Velto::Utf16ToUtf8(path).c_str(), &info) != 0)
        return PathKind::Missing;
    return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::Other;
}

FormError Error(TextId message, ShareField field) {
    return FormError{message, static_cast<std::int32_t>(field)};
}

} // namespace

GuestChoice GuestChoiceFor(AccessFlags guest, bool isFile) {
    const AccessFlags rights = Velto::Corvane::NormalizeAccess(guest);
    if (rights == AccessFlags::None)
        return GuestChoice::NotOpen;
    if (isFile)
        return GuestChoice::Read;
    const bool write = Velto::Corvane::HasAccess(rights, AccessFlags::Write);
    const bool remove = Velto::Corvane::HasAccess(rights, AccessFlags::Delete);
    if (write && remove)
        return GuestChoice::ReadWriteDelete;
    if (write)
        return GuestChoice::ReadWrite;
    return GuestChoice::Read;
}

AccessFlags GuestRightsFor(GuestChoice choice) {
    switch (choice) {
    case GuestChoice::NotOpen:
        return AccessFlags::None;
    case GuestChoice::Read:
        return AccessFlags::Read;
    case GuestChoice::ReadWrite:
        return AccessFlags::Read | AccessFlags::Write;
    case GuestChoice::ReadWriteDelete:
        return AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete;
    }
    return AccessFlags::None;
}

double UploadLimitMegabytes(std::int64_t maxUploadBytes) {
    if (maxUploadBytes <= 0)
        return 0;
    const std::int64_t megabytes = (maxUploadBytes + kBytesPerMegabyte - 1) / kBytesPerMegabyte;
    return std::min(static_cast<double>(megabytes), kMaxUploadMegabytes);
}

std::int64_t UploadLimitBytes(double megabytes) {
    if (!(megabytes > 0))
        return 0;
    const double whole = std::min(std::round(megabytes), kMaxUploadMegabytes);
    return static_cast<std::int64_t>(whole) * kBytesPerMegabyte;
}

std::u16string TrimSpacesAndTabs(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return std::u16string{text};
}

std::u16string StoredSharePath(std::u16string_view path) {
    while (path.size() > 1 && path.back() == u'/')
        path.remove_suffix(1);
    return std::u16string{path};
}

std::optional<std::u16string> NameFromBrowsedPath(std::u16string_view browsed) {
    const std::u16string path = StoredSharePath(browsed);
    const std::size_t slash = path.find_last_of(u'/');
    const std::u16string_view last = slash == std::u16string::npos
                                         ? std::u16string_view{path}
                                         : std::u16string_view{path}.substr(slash + 1);
    if (!Velto::Corvane::IsValidShareName(last))
        return std::nullopt;
    return std::u16string{last};
}

std::optional<FormError> ValidateShareForm(const Config& config, const Share& share,
                                           const ShareFormInput& input) {
    const std::u16string name = TrimSpacesAndTabs(input.name);
    const std::u16string path = TrimSpacesAndTabs(input.path);
    if (name.empty())
        return Error(TextId::EnterName, ShareField::Name);
    if (!Velto::Corvane::IsValidShareName(name))
        return Error(TextId::InvalidShareName, ShareField::Name);
    const bool taken =
        std::any_of(config.shares.begin(), config.shares.end(), [&](const Share& other) {
            return other.id != share.id && Velto::EqualsIgnoreCase(other.name, name);
        });
    if (taken)
        return Error(TextId::NameInUse, ShareField::Name);
    if (path.empty())
        return Error(share.file ? TextId::ChooseFileError : TextId::ChooseFolderError,
                     ShareField::Path);
    const PathKind kind = KindOf(path);
    if (share.file && kind != PathKind::Other)
        return Error(TextId::FileNotFound, ShareField::Path);
    if (!share.file && kind != PathKind::Folder)
        return Error(TextId::FolderNotFound, ShareField::Path);
    if (input.askPassword && input.password.empty() && share.password.empty())
        return Error(TextId::EnterPassword, ShareField::Password);
    return std::nullopt;
}

bool ApplyShareForm(Share& share, const ShareFormInput& input) {
    std::string password = share.password;
    if (!input.askPassword) {
        password.clear();
    } else if (!input.password.empty()) {
        password = Velto::Corvane::HashPassword(Velto::Utf16ToUtf8(input.password),
                                                Velto::Corvane::kPasswordIterations);
        if (password.empty())
            return false;
    }
    share.name = TrimSpacesAndTabs(input.name);
    share.path = StoredSharePath(TrimSpacesAndTabs(input.path));
    share.readOnly = share.file || input.readOnly;
    GuestChoice guest = input.guest;
    if (share.file && guest != GuestChoice::NotOpen)
        guest = GuestChoice::Read;
    share.guest = GuestRightsFor(guest);
    share.password = std::move(password);
    share.maxUploadBytes = share.file ? 0 : UploadLimitBytes(input.uploadMegabytes);
    return true;
}

} // namespace App
