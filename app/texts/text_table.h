#pragma once

#include "app/texts/text_ids.h"
#include "app/texts/ui_language.h"

#include <string>

namespace App {

// The text for `id` in `language`, from the program's fixed table of Korean
// and English texts. The string lives until the process ends, so callers may
// keep the reference. An id outside the table gives an empty text.
const std::u16string& Text(TextId id, UiLanguage language);

} // namespace App
