#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane {

// True when an Accept-Language value ranks Korean above English (a language
// named without a weight weighs 1; "*" and other languages do not count).
bool PrefersKorean(std::string_view acceptLanguage);

// The small page a link that no longer works answers with, in Korean or
// English as the visitor's Accept-Language prefers.
std::string InvalidLinkPage(std::string_view acceptLanguage);

} // namespace Velto::Corvane
