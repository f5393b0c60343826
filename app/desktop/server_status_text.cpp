#include "app/desktop/server_status_text.h"

#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "app/texts/value_format.h"
#include "base/result.h"
#include "base/utf.h"

namespace App {

namespace {

std::u16string Decimal(std::int64_t value) {
    return Velto::Utf8ToUtf16(std::to_string(value));
}

std::u16string Hex(std::int32_t code) {
    return Velto::Utf8ToUtf16(FormatHex32(static_cast<std::uint32_t>(code)));
}

} // namespace

const std::u16string& ServerSwitchText(bool running, UiLanguage language) {
    return Text(running ? TextId::ServerOn : TextId::ServerOff, language);
}

std::u16string StartFailureText(const Velto::Corvane::ServiceStatus& status,
                                std::uint16_t configuredPort, UiLanguage language) {
    if (status.certificateError)
        return Format(TextId::CertificateFailed, language, {Hex(status.error)});
    if (status.error == Velto::kAddrInUse)
        return Format(TextId::PortInUse, language, {Decimal(configuredPort)});
    if (status.error == Velto::kSocketAccess)
        return Format(TextId::PortNotAllowed, language, {Decimal(configuredPort)});
    return Format(TextId::ErrorCode, language, {Hex(status.error)});
}

std::u16string TrafficText(const Velto::Corvane::ServiceStatus& status, UiLanguage language) {
    return Format(TextId::TrafficSummary, language,
                  {Decimal(status.openConnections),
                   Velto::Utf8ToUtf16(FormatSize(status.bytesSent)),
                   Velto::Utf8ToUtf16(FormatSize(status.bytesReceived))});
}

} // namespace App
