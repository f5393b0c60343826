#include "webapp/numbered_name.h"

namespace Velto::Corvane {

std::u16string MakeNumberedName(std::u16string_view name, std::uint32_t n) {
    std::u16string number = u" (";
    for (const char digit : std::to_string(n))
        number.push_back(static_cast<char16_t>(digit));
    number.push_back(u')');

    const std::size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos || dot == 0)
        return std::u16string(name) + number;
    std::u16string result(name.substr(0, dot));
    result += number;
    result += name.substr(dot);
    return result;
}

} // namespace Velto::Corvane
