#include "app/usage/usage_stats.h"

#include "app/usage/usage_reporter.h"

namespace App {
namespace {

UsageReporter& ProcessReporter() {
    static UsageReporter reporter{kUsageEndpoint};
    return reporter;
}

} // namespace

void StartUsageStats(const UsageOptions& options) {
    ProcessReporter().Start(options);
}

void ReportFeature(std::string_view name) {
    ProcessReporter().ReportFeature(name);
}

bool StopUsageStats(std::chrono::milliseconds wait) {
    return ProcessReporter().Stop(wait);
}

} // namespace App
