#pragma once

#include <span>
#include <string>
#include <string_view>

namespace App {

// One queued usage event: "app_start" without a feature, or "feature_use"
// with the feature's name.
struct UsageEvent {
    std::string name;
    std::string feature;
};

// What every report says about this run (UTF-8).
struct UsageIdentity {
    std::string clientId;
    std::string sessionId; // the run's start, seconds since 1970, in decimal
    std::string program;
    std::string version;
    std::string language;  // "ko-kr"; left out when empty
    std::string osVersion; // left out when empty
};

// A JSON string: quotation marks and backslashes escaped with a backslash,
// bytes below 0x20 as \u00XX (lower-case digits), all other bytes as they are.
std::string JsonQuoted(std::string_view text);

// The analytics collection body for a batch of events, built piece by piece
// so that its members keep their order, without any whitespace.
std::string UsageRequestBody(const UsageIdentity& identity, std::span<const UsageEvent> events);

// A feature name is 1 to 40 characters of a-z, 0-9 and "_".
bool IsValidFeatureName(std::string_view name);

} // namespace App
