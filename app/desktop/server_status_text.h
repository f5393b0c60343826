#pragma once

#include "app/texts/ui_language.h"
#include "service/service_status.h"

#include <cstdint>
#include <string>

namespace App {

// The header switch's label: "Server on" while running, else "Server off".
const std::u16string& ServerSwitchText(bool running, UiLanguage language);

// Why the last start failed, for the failure card: a certificate that could
// not be prepared, a port already in use, a port the system does not allow,
// or the result code in hexadecimal. The port named is the configured one.
std::u16string StartFailureText(const Velto::Corvane::ServiceStatus& status,
                                std::uint16_t configuredPort, UiLanguage language);

// The traffic line under a running server's window: open connections, bytes
// sent and received.
std::u16string TrafficText(const Velto::Corvane::ServiceStatus& status, UiLanguage language);

} // namespace App
