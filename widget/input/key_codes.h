#pragma once

#include <cstdint>

namespace Velto::Widget {

// Virtual-key numbers of KeyEvent::virtualKey. The native layer translates
// its own key symbols into these; letters and digits are their upper-case
// ASCII codes.
constexpr std::uint32_t kKeyBackspace = 8;
constexpr std::uint32_t kKeyTab = 9;
constexpr std::uint32_t kKeyEnter = 13;
constexpr std::uint32_t kKeyShift = 16;
constexpr std::uint32_t kKeyCtrl = 17;
constexpr std::uint32_t kKeyAlt = 18;
constexpr std::uint32_t kKeyEscape = 27;
constexpr std::uint32_t kKeySpace = 32;
constexpr std::uint32_t kKeyPageUp = 33;
constexpr std::uint32_t kKeyPageDown = 34;
constexpr std::uint32_t kKeyEnd = 35;
constexpr std::uint32_t kKeyHome = 36;
constexpr std::uint32_t kKeyLeft = 37;
constexpr std::uint32_t kKeyUp = 38;
constexpr std::uint32_t kKeyRight = 39;
constexpr std::uint32_t kKeyDown = 40;
constexpr std::uint32_t kKeyDelete = 46;
constexpr std::uint32_t kKey0 = '0';
constexpr std::uint32_t kKey9 = '9';
constexpr std::uint32_t kKeyA = 'A';
constexpr std::uint32_t kKeyZ = 'Z';
constexpr std::uint32_t kKeyApps = 93; // the context-menu key
constexpr std::uint32_t kKeyF1 = 112;
constexpr std::uint32_t kKeyF12 = 123;

// 'a' or 'A' -> the key of that letter; '0'..'9' -> the digit key.
constexpr std::uint32_t KeyOf(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<std::uint32_t>(c - 'a' + 'A')
                                  : static_cast<std::uint32_t>(c);
}
// F1..F12 by number.
constexpr std::uint32_t KeyF(int n) {
    return kKeyF1 + static_cast<std::uint32_t>(n - 1);
}

} // namespace Velto::Widget
