#include "app/usage/usage_request_body.h"

namespace App {
namespace {

constexpr std::size_t kMaxFeatureNameLength = 40;
constexpr char kLowerHex[] = "0123456789abcdef";

} // namespace

std::string JsonQuoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20) {
            quoted += "\\u00";
            quoted += kLowerHex[byte >> 4];
            quoted += kLowerHex[byte & 0xF];
        } else {
            quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

std::string UsageRequestBody(const UsageIdentity& identity, std::span<const UsageEvent> events) {
    std::string body = "{\"client_id\":" + JsonQuoted(identity.clientId);
    body += ",\"device\":{\"category\":\"desktop\",\"operating_system\":\"Linux\"";
    if (!identity.osVersion.empty())
        body += ",\"operating_system_version\":" + JsonQuoted(identity.osVersion);
    if (!identity.language.empty())
        body += ",\"language\":" + JsonQuoted(identity.language);
    body += "},\"events\":[";
    bool first = true;
    for (const UsageEvent& event : events) {
        if (!first)
            body += ',';
        first = false;
        body += "{\"name\":" + JsonQuoted(event.name);
        body += ",\"params\":{\"program\":" + JsonQuoted(identity.program);
        body += ",\"version\":" + JsonQuoted(identity.version);
        if (!event.feature.empty())
            body += ",\"feature\":" + JsonQuoted(event.feature);
        body += ",\"session_id\":" + JsonQuoted(identity.sessionId);
        body += ",\"engagement_time_msec\":100}}";
    }
    body += "]}";
    return body;
}

bool IsValidFeatureName(std::string_view name) {
    if (name.empty() || name.size() > kMaxFeatureNameLength)
        return false;
    for (const char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    }
    return true;
}

} // namespace App
