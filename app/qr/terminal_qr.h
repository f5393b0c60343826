#pragma once

#include "app/qr/qr_encoder.h"

#include <string>
#include <vector>

namespace App {

constexpr std::int32_t kTerminalQuietZone = 4; // light modules around the symbol

// The symbol as terminal lines: two module rows per line with the half-block
// characters, black on an explicitly white background (ANSI colours) so that
// it scans the same on dark and light terminals.
std::vector<std::string> TerminalQrLines(const QrSymbol& symbol);

} // namespace App
