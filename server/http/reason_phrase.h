#pragma once

#include <cstdint>
#include <string_view>

namespace Velto::Corvane {

// The reason phrase of a status line; empty for codes the server never uses.
std::string_view ReasonPhrase(std::int32_t status);

} // namespace Velto::Corvane
