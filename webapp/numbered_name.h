#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// "report.pdf" with 2 gives "report (2).pdf": " (n)" goes before the last "."
// unless that "." is the first character, else at the end ("archive.tar (2).gz",
// ".profile (2)").
std::u16string MakeNumberedName(std::u16string_view name, std::uint32_t n);

} // namespace Velto::Corvane
