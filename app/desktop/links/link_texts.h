#pragma once

#include "app/texts/ui_language.h"
#include "config/config.h"

#include <cstdint>
#include <string>

namespace App {

// The address a visitor opens: the server's address, "/s/" and the token;
// empty while the server has no address.
std::u16string LinkAddress(const std::u16string& serverAddress,
                           const Velto::Corvane::ShareLink& link);

// The link's name in lists and questions: its label, or else the target's
// own name (the last component of its path, or the share's name).
std::u16string LinkShownName(const Velto::Corvane::Config& config,
                             const Velto::Corvane::ShareLink& link);

// The target as the share's name followed by the path inside it.
std::u16string LinkTargetText(const Velto::Corvane::Config& config,
                              const Velto::Corvane::ShareLink& link);

// "View" or "Upload only", with ", Password" when visitors are asked for one.
std::u16string LinkModeText(const Velto::Corvane::ShareLink& link, UiLanguage language);

// The local date and time the link expires, "Never", or "Expired (date)"
// once `now` (seconds since 1970) has passed it.
std::u16string LinkExpiryText(const Velto::Corvane::ShareLink& link, std::int64_t now,
                              UiLanguage language);

// The current time in seconds since 1970, as links count it.
std::int64_t LinkClockNow();

} // namespace App
