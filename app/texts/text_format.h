#pragma once

#include "app/texts/text_ids.h"
#include "app/texts/ui_language.h"

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace App {

// Replaces the placeholders "{0}", "{1}", ... of `text` with the arguments.
// Argument i replaces every "{i}", searching from the start of the text each
// time, so a later argument's token inside an earlier argument is replaced
// too; an argument is never searched for its own token again. Tokens without
// an argument stay as they are.
std::u16string FormatText(std::u16string_view text, std::span<const std::u16string_view> arguments);

// Text `id` in `language` with its placeholders replaced.
std::u16string Format(TextId id, UiLanguage language,
                      std::initializer_list<std::u16string_view> arguments);

} // namespace App
