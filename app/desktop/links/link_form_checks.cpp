#include "app/desktop/links/link_form_checks.h"

#include "base/utf.h"
#include "config/password_hash.h"

namespace App {

namespace {

using Velto::Corvane::LinkMode;
using Velto::Corvane::Share;
using Velto::Corvane::ShareLink;

FormError Error(TextId message, LinkField field) {
    return FormError{message, static_cast<std::int32_t>(field)};
}

LinkTarget Problem(TextId problem) {
    LinkTarget target;
    target.problem = problem;
    return target;
}

// The components of a relative path joined by '/', without empty and "."
// components; none when one is "..".
std::optional<std::u16string> CleanRelativePath(std::u16string_view path) {
    std::u16string clean;
    while (!path.empty()) {
        const std::size_t slash = path.find(u'/');
        const std::u16string_view part = path.substr(0, slash);
        path = slash == std::u16string_view::npos ? std::u16string_view{} : path.substr(slash + 1);
        if (part.empty() || part == u".")
            continue;
        if (part == u"..")
            return std::nullopt;
        if (!clean.empty())
            clean.push_back(u'/');
        clean += part;
    }
    return clean;
}

// An absolute path's place inside the share: by its text first (the share's
// path as stored, then the rest), else with both resolved on disk.
std::optional<std::u16string> PathInsideShare(const Share& share, std::u16string_view absolute) {
    const std::u16string root = StoredSharePath(share.path);
    const std::u16string_view rootView{root};
    if (absolute == rootView)
        return std::u16string{};
    const bool underRoot = rootView == u"/"
                               ? true
                               : absolute.starts_with(rootView) && absolute.size() > root.size() &&
                                     absolute[root.size()] == u'/';
    if (underRoot) {
        if (auto inside = CleanRelativePath(absolute.substr(rootView == u"/" ? 1 : root.size())))
            return inside;
    }
    return ResolvedPathInside(root, absolute);
}

} // namespace

bool ShareTakesUploadLinks(const Share& share) {
    return !share.file && !share.readOnly;
}

LinkTarget ResolveLinkTarget(const Share& share, std::u16string_view typed) {
    const std::u16string text = share.file ? std::u16string{} : TrimSpacesAndTabs(typed);
    std::optional<std::u16string> path =
        text.starts_with(u'/') ? PathInsideShare(share, text) : CleanRelativePath(text);
    if (!path)
        return Problem(TextId::LinkTargetOutside);
    const LinkTargetKind kind = LookUpLinkTarget(share.path, *path);
    if (kind == LinkTargetKind::Outside)
        return Problem(TextId::LinkTargetOutside);
    if (kind == LinkTargetKind::Missing)
        return Problem(TextId::LinkTargetMissing);
    LinkTarget target;
    target.path = std::move(*path);
    target.kind = kind;
    return target;
}

std::optional<FormError> ValidateLinkForm(const Share& share, const LinkFormInput& input) {
    const LinkTarget target = ResolveLinkTarget(share, input.target);
    if (target.problem)
        return Error(*target.problem, LinkField::Target);
    if (input.mode == LinkMode::Upload) {
        if (!share.file && share.readOnly)
            return Error(TextId::LinkUploadReadOnly, LinkField::Mode);
        if (target.kind != LinkTargetKind::Folder)
            return Error(TextId::LinkUploadNeedsFolder, LinkField::Mode);
    }
    if (input.askPassword && input.password.empty())
        return Error(TextId::EnterPassword, LinkField::Password);
    if (TrimSpacesAndTabs(input.label).size() > ShareLink::kMaxLabelLength)
        return Error(TextId::LinkLabelTooLong, LinkField::Label);
    return std::nullopt;
}

std::optional<ShareLink> MakeLinkFromForm(const Share& share, const LinkFormInput& input,
                                          std::int64_t now) {
    const LinkTarget target = ResolveLinkTarget(share, input.target);
    if (target.problem)
        return std::nullopt;
    std::optional<ShareLink> link =
        Velto::Corvane::NewShareLink(share.id, target.path, input.lifetime, now);
    if (!link)
        return std::nullopt;
    if (input.askPassword) {
        link->password = Velto::Corvane::HashPassword(Velto::Utf16ToUtf8(input.password),
                                                      Velto::Corvane::kPasswordIterations);
        if (link->password.empty())
            return std::nullopt;
    }
    link->mode = input.mode;
    link->label = TrimSpacesAndTabs(input.label);
    return link;
}

} // namespace App
