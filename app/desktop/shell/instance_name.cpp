#include "app/desktop/shell/instance_name.h"

namespace App {

std::string InstanceName(const EnvironmentSettings& settings) {
    std::string name{kInstanceBaseName};
    if (!settings.instanceSuffix.empty())
        name += "." + settings.instanceSuffix;
    return name;
}

} // namespace App
