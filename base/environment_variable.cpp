#include "base/environment_variable.h"

#include "base/utf.h"

#include <cstdlib>
#include <string_view>

namespace Velto {

std::string EnvironmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return {};
    const std::string_view text(value);
    // The limit counts characters as the rest of the program's texts do (UTF-16
    // code units), so a path in Korean is not cut off three times sooner than
    // one in ASCII. No UTF-8 sequence is shorter than the units it makes.
    if (text.size() >= kMaxVariableLength && Utf8ToUtf16(text).size() >= kMaxVariableLength)
        return {};
    return std::string(text);
}

} // namespace Velto
