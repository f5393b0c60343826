#pragma once

#include "app/texts/ui_language.h"
#include "config/config.h"

#include <string>
#include <string_view>

namespace App {

// Longest name proposed for a new share, leaving room for " 2", " 3", ...
// within the 64 characters a name may have.
constexpr std::size_t kProposedNameUnits = 60;

// "Read", "Read, Write", "Read, Write, Delete" ... for a rights mask (after
// normalising it), or "None".
std::u16string RightsText(Velto::Corvane::AccessFlags rights, UiLanguage language);

// What a visitor without an account may do on the share as listed: a
// read-only share grants reading at most.
Velto::Corvane::AccessFlags ListedGuestRights(const Velto::Corvane::Share& share);

// A name for a new share of `path`: its last component cleaned of what a name
// may not hold, "Share" when nothing valid is left, and " 2", " 3", ... added
// while another share has that name (ignoring case).
std::u16string UniqueShareName(const Velto::Corvane::Config& config, std::u16string_view path);

// A new share of a folder or a single file as the window proposes it: readable
// by guests, no password, no upload limit, files read-only. The id is empty
// when the system's random source failed.
Velto::Corvane::Share NewShare(const Velto::Corvane::Config& config, std::u16string path,
                               bool isFile);

// Replaces the share with the same id; false when it is gone.
bool ReplaceShare(Velto::Corvane::Config& config, const Velto::Corvane::Share& share);

// Removes the share, every account's rights on it and its links; false when
// it is gone.
bool RemoveShare(Velto::Corvane::Config& config, std::string_view id);

} // namespace App
