#include "app/desktop/config_edit.h"

#include "service/corvane_service.h"

namespace App {

ConfigEditResult EditConfiguration(Velto::Corvane::CorvaneService& service,
                                   const std::function<bool(Velto::Corvane::Config&)>& edit) {
    Velto::Corvane::Config config = service.GetConfig();
    if (!edit(config))
        return {};
    ConfigEditResult result;
    result.applied = true;
    result.saved = service.ApplyConfig(config);
    result.shares = config.shares.size();
    result.accounts = config.accounts.size();
    return result;
}

} // namespace App
