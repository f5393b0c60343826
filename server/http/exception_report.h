#pragma once

#include <string_view>

namespace Velto::Corvane {

// Logs the exception being handled (call it inside a catch block) at Error
// level under "Net", saying where it was stopped. The exception's text is cut
// to a bounded length and its control bytes are escaped, since it may quote
// what a visitor sent. Never throws.
void ReportCaughtException(std::string_view where) noexcept;

} // namespace Velto::Corvane
