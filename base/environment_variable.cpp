#include "base/environment_variable.h"

#include <cstdlib>
#include <string_view>

namespace Velto {

std::string EnvironmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return {};
    const std::string_view text(value);
    if (text.size() >= kMaxVariableLength)
        return {};
    return std::string(text);
}

} // namespace Velto
