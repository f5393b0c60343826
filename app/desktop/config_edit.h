#pragma once

#include "config/config.h"

#include <functional>

namespace Velto::Corvane {
class CorvaneService;
}

namespace App {

struct ConfigEditResult {
    bool applied{false}; // the edit changed something and was handed over
    bool saved{false};   // config.json was written
    std::size_t shares{0};
    std::size_t accounts{0};
};

// Changes the service's configuration as it is now, never a copy taken
// earlier: what the service wrote in the meantime (the self-signed
// certificate's thumbprint, for one) survives the change. `edit` returns
// false when it finds nothing to change (the share it edits is gone), and
// then nothing is applied.
ConfigEditResult EditConfiguration(Velto::Corvane::CorvaneService& service,
                                   const std::function<bool(Velto::Corvane::Config&)>& edit);

} // namespace App
