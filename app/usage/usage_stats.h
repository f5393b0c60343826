#pragma once

#include "app/usage/usage_options.h"

#include <chrono>
#include <string_view>

namespace App {

// The program's one usage reporter, posting to the analytics service. It
// lives until the process ends, so late reports are simply ignored.

// Starts reporting; nothing when VELTO_SDK_NO_USAGE_STATS exists or it runs.
void StartUsageStats(const UsageOptions& options);
// Reports one use of a window action ("share_folder", "server_start", ...).
void ReportFeature(std::string_view name);
// Posts what is queued, waiting at most `wait`; whether that finished.
bool StopUsageStats(std::chrono::milliseconds wait);

} // namespace App
