#include "server/http/byte_range.h"

#include "base/ascii_text.h"

#include <optional>

namespace Velto::Corvane {
namespace {

constexpr std::string_view kUnit = "bytes=";
constexpr std::size_t kMaxPositionDigits = 19;

std::optional<std::uint64_t> ParsePosition(std::string_view text) {
    return ParseDecimal(text, kMaxPositionDigits);
}

} // namespace

ByteRange ParseByteRange(std::string_view value, std::uint64_t size) {
    ByteRange range;
    value = TrimSpaceTab(value);
    if (value.size() <= 5 || !value.starts_with(kUnit))
        return range;
    const std::string_view rangeText = TrimSpaceTab(value.substr(kUnit.size()));
    if (rangeText.empty() || rangeText.find(',') != std::string_view::npos)
        return range;
    const std::size_t dash = rangeText.find('-');
    if (dash == std::string_view::npos)
        return range;
    const std::string_view firstText = TrimSpaceTab(rangeText.substr(0, dash));
    const std::string_view lastText = TrimSpaceTab(rangeText.substr(dash + 1));

    if (firstText.empty()) {
        const std::optional<std::uint64_t> suffix = ParsePosition(lastText);
        if (!suffix)
            return range;
        if (*suffix == 0 || size == 0) {
            range.result = RangeResult::Unsatisfiable;
            return range;
        }
        range.first = *suffix < size ? size - *suffix : 0;
        range.last = size - 1;
        range.result = RangeResult::Satisfiable;
        return range;
    }

    const std::optional<std::uint64_t> first = ParsePosition(firstText);
    if (!first)
        return range;
    std::uint64_t last = size == 0 ? 0 : size - 1;
    if (!lastText.empty()) {
        const std::optional<std::uint64_t> parsed = ParsePosition(lastText);
        if (!parsed || *parsed < *first)
            return range;
        last = *parsed;
        if (size != 0 && last >= size)
            last = size - 1;
    }
    if (*first >= size) {
        range.result = RangeResult::Unsatisfiable;
        return range;
    }
    range.first = *first;
    range.last = last;
    range.result = RangeResult::Satisfiable;
    return range;
}

} // namespace Velto::Corvane
