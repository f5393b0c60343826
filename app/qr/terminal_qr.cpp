#include "app/qr/terminal_qr.h"

#include <string_view>

namespace App {
namespace {

constexpr std::string_view kBlackOnWhite = "\x1b[30;47m";
constexpr std::string_view kReset = "\x1b[0m";
constexpr std::string_view kUpperHalf = "\u2580";
constexpr std::string_view kLowerHalf = "\u2584";
constexpr std::string_view kFull = "\u2588";
constexpr std::string_view kEmpty = " ";

} // namespace

std::vector<std::string> TerminalQrLines(const QrSymbol& symbol) {
    std::vector<std::string> lines;
    if (!symbol.ok)
        return lines;
    const std::int32_t first = -kTerminalQuietZone;
    const std::int32_t last = symbol.size + kTerminalQuietZone; // exclusive
    const auto dark = [&](std::int32_t x, std::int32_t y) {
        return x >= 0 && y >= 0 && x < symbol.size && y < symbol.size && symbol.Dark(x, y);
    };
    for (std::int32_t y = first; y < last; y += 2) {
        std::string line{kBlackOnWhite};
        for (std::int32_t x = first; x < last; ++x) {
            const bool top = dark(x, y);
            const bool bottom = y + 1 < last && dark(x, y + 1);
            line += top ? (bottom ? kFull : kUpperHalf) : (bottom ? kLowerHalf : kEmpty);
        }
        line += kReset;
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace App
