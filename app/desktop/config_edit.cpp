#include "app/desktop/config_edit.h"

#include "service/corvane_service.h"

namespace App {

ConfigEditResult EditConfiguration(Velto::Corvane::CorvaneService& service,
                                   const std::function<bool(Velto::Corvane::Config&)>& edit) {
    ConfigEditResult result;
    // Under the service's lock: what the web application changes meanwhile
    // (links made in a browser, their use counts) is neither lost nor lost to.
    const std::optional<bool> saved = service.ChangeConfig([&](Velto::Corvane::Config& config) {
        if (!edit(config))
            return false;
        result.shares = config.shares.size();
        result.accounts = config.accounts.size();
        return true;
    });
    if (!saved)
        return {};
    result.applied = true;
    result.saved = *saved;
    return result;
}

} // namespace App
