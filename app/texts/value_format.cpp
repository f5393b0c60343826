#include "app/texts/value_format.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <limits>

namespace App {
namespace {

constexpr std::uint64_t kUnitStep = 1024;
constexpr double kWholeNumbersFrom = 100.0;
constexpr std::array<const char*, 4> kUnits = {"KB", "MB", "GB", "TB"};
constexpr std::size_t kNumberBufferSize = 64;

} // namespace

std::string FormatSize(std::uint64_t bytes) {
    if (bytes < kUnitStep)
        return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes) / static_cast<double>(kUnitStep);
    std::size_t unit = 0;
    while (value >= static_cast<double>(kUnitStep) && unit + 1 < kUnits.size()) {
        value /= static_cast<double>(kUnitStep);
        ++unit;
    }
    // to_chars rounds like printf's %.Nf but never uses the locale's decimal mark.
    std::array<char, kNumberBufferSize> buffer{};
    const int decimals = value >= kWholeNumbersFrom ? 0 : 1;
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, decimals);
    if (error != std::errc{})
        return {};
    return std::string(buffer.data(), end) + " " + kUnits[unit];
}

std::string FormatLocalFileTime(Velto::FileTime fileTime) {
    // Past this the 100 ns count no longer fits the signed form file times use.
    if (fileTime > static_cast<Velto::FileTime>(std::numeric_limits<std::int64_t>::max()))
        return {};
    const std::time_t seconds = static_cast<std::time_t>(Velto::UnixSecondsFromFileTime(fileTime));
    std::tm local{};
    if (!::localtime_r(&seconds, &local))
        return {};
    std::array<char, kNumberBufferSize> buffer{};
    const int length = std::snprintf(
        buffer.data(), buffer.size(), "%04u-%02u-%02u %02u:%02u:%02u",
        static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_mon + 1),
        static_cast<unsigned>(local.tm_mday), static_cast<unsigned>(local.tm_hour),
        static_cast<unsigned>(local.tm_min), static_cast<unsigned>(local.tm_sec));
    if (length < 0 || static_cast<std::size_t>(length) >= buffer.size())
        return {};
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string FormatHex32(std::uint32_t code) {
    std::array<char, kNumberBufferSize> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%08X", code);
    return buffer.data();
}

} // namespace App
