#include "app/usage/usage_options.h"

#include "config/data_folders.h"

namespace App {
namespace {

constexpr std::string_view kAppFolder = "/VeltoCorvane";

} // namespace

UsageOptions ProgramUsageOptions() {
    const std::string home = Velto::Corvane::ConfigHomeFolder();
    return UsageOptions{
        .productName = kUsageProductName,
        .version = kUsageVersion,
        .clientIdFolder = home.empty()
                              ? std::string{}
                              : (home == "/" ? std::string{} : home) + std::string{kAppFolder},
        .measurementId = kUsageMeasurementId,
        .apiSecret = kUsageApiSecret,
    };
}

} // namespace App
