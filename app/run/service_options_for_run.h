#pragma once

#include "app/run/environment_settings.h"
#include "service/service_options.h"

namespace App {

// Normal and self-contained names of the server's own certificate.
inline constexpr char16_t kKeyNamePrefix[] = u"VeltoCorvane-Server-";
inline constexpr char16_t kCertificateSubject[] = u"CN=VeltoCorvane";
inline constexpr char16_t kCertificateFriendlyName[] = u"VeltoCorvane";
inline constexpr char16_t kCheckKeyNamePrefix[] = u"VeltoCorvaneCheck-";
inline constexpr char16_t kCheckCertificateSubject[] = u"CN=VeltoCorvane Check";
inline constexpr char16_t kCheckCertificateFriendlyName[] = u"VeltoCorvane Check";

// What the service gets from the environment: where config.json, the logs and
// the certificate store live, whether to listen on loopback only, and the
// certificate names (the "Check" ones in self-contained mode, so that a copy
// with its own data folder never touches the user's certificate).
Velto::Corvane::ServiceOptions ServiceOptionsFor(const EnvironmentSettings& settings);

} // namespace App
