#pragma once

#include "app/texts/ui_language.h"

#include <string>

namespace App {

// The user's message language as a lower-case tag for usage reports: the
// locale gettext would use for messages (the first entry of LANGUAGE unless
// the locale is C, else LC_ALL, LC_MESSAGES or LANG) without its encoding
// and modifier, "_" written as "-": "ko_KR.UTF-8" gives "ko-kr". Empty for
// the C locale or when nothing is set.
std::string UsageLanguage(const LocaleEnvironment& environment);

} // namespace App
