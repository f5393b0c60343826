#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto::Widget::Controls {

// The rules of a number box's text, apart from any widget.
struct NumberFormat {
    double minimum{0};
    double maximum{100};
    int decimals{0};
    std::u16string suffix;
};

// Typing accepts digits, "+", a space, "-" when the minimum is negative,
// and "," or "." when there are decimals.
bool AcceptsNumberCharacter(char32_t character, const NumberFormat& format);

// Reads a typed text: a trailing suffix is removed, "," becomes ".",
// spaces around the number are ignored and the longest decimal number at the
// start is read (independent of the process locale). None when no number
// could be read.
std::optional<double> ParseNumberText(std::u16string_view text, const NumberFormat& format);

// The value clamped to [minimum, maximum] (a minimum above the maximum wins).
double ClampNumber(double value, const NumberFormat& format);

// "%.*f" with the decimals, in the C locale.
std::u16string FormatNumber(double value, int decimals);

} // namespace Velto::Widget::Controls
