#pragma once

#include "app/desktop/links/link_target_lookup.h"
#include "app/desktop/shares/share_dialog_checks.h"
#include "config/config.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The new-link dialog's checks, without widgets: its choices, where the
// typed target lies in the share, the first problem of what was entered, and
// the link it makes. The content (link_dialog_content.h) shows them; the
// window (link_dialog.h) runs it.

namespace App {

// The expiry choices in list order, and the one the dialog starts with.
constexpr std::array<Velto::Corvane::LinkLifetime, 5> kLifetimeChoices{
    Velto::Corvane::LinkLifetime::Hour, Velto::Corvane::LinkLifetime::Day,
    Velto::Corvane::LinkLifetime::Week, Velto::Corvane::LinkLifetime::Month,
    Velto::Corvane::LinkLifetime::Never};
constexpr std::size_t kDefaultLifetimeChoice = 2; // a week

// Whether the share can have upload-only links: a folder that is not
// read-only.
bool ShareTakesUploadLinks(const Velto::Corvane::Share& share);

// Where a typed target lies: its path inside the share ('/'-separated, empty
// for the share itself) and what it is, or the problem with it.
struct LinkTarget {
    std::u16string path;
    LinkTargetKind kind{LinkTargetKind::Missing};
    std::optional<TextId> problem;
};

// The target as typed (spaces and tabs around it ignored): empty for the
// share itself, a path inside the share ("Photos/2024"), or an absolute path
// that lies inside it, as a picker gives. ".." never leads out, and neither
// does a symbolic link; the target must exist. A shared file is its own and
// only target.
LinkTarget ResolveLinkTarget(const Velto::Corvane::Share& share, std::u16string_view typed);

// What the new-link dialog holds when OK is pressed.
struct LinkFormInput {
    std::u16string target;
    Velto::Corvane::LinkMode mode{Velto::Corvane::LinkMode::View};
    Velto::Corvane::LinkLifetime lifetime{kLifetimeChoices[kDefaultLifetimeChoice]};
    bool askPassword{false};
    std::u16string password;
    std::u16string label;
};

enum class LinkField : std::int32_t { Target = 0, Mode = 1, Password = 2, Label = 3 };

// The first problem of the input: a target outside the share or missing, an
// upload-only link to a file or into a read-only share, a password asked for
// but not typed, a label that is too long.
std::optional<FormError> ValidateLinkForm(const Velto::Corvane::Share& share,
                                          const LinkFormInput& input);

// The link accepted input makes, created `now` (seconds since 1970) by the
// owner of the computer, its password hashed as a share's; none when the
// random source or the hashing failed.
std::optional<Velto::Corvane::ShareLink>
MakeLinkFromForm(const Velto::Corvane::Share& share, const LinkFormInput& input, std::int64_t now);

} // namespace App
