#pragma once

#include "config/config.h"

#include <functional>
#include <optional>
#include <string>

namespace App {

// What the accounts, access-log and settings pages ask of the desktop beyond
// the window's own services: the account dialog, the certificate picker, the
// file manager and the start-at-sign-in entry. The program fills it from the
// native window; tests fill it with stand-ins. An empty callback leaves its
// action out.
struct PageDialogs {
    // True when the user confirmed; only then is `account` changed.
    std::function<bool(const Velto::Corvane::Config& config, Velto::Corvane::Account& account,
                       bool isNew)>
        editAccount;
    // One file, filtered to the given description and patterns ("*.pfx;*.p12").
    std::function<std::optional<std::string>(const std::u16string& title,
                                             const std::u16string& description,
                                             const std::u16string& patterns)>
        pickFile;
    std::function<bool(const std::string& folder)> openFolder;
    std::function<bool()> isAutostartEnabled;
    std::function<bool(bool enable)> setAutostart;
};

} // namespace App
