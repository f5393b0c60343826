#include "webapp/dav/dav_headers.h"

#include "base/ascii_case.h"
#include "base/ascii_text.h"

#include <charconv>

namespace Velto::Corvane {

namespace {

// Conditions and lists an If header may hold: far beyond what any client
// sends, small enough that evaluating them costs nothing.
constexpr std::size_t kMaxIfLists = 64;
constexpr std::size_t kMaxIfConditions = 256;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void SkipSpace(std::string_view text, std::size_t& at) {
    while (at < text.size() && IsSpace(text[at]))
        ++at;
}

// Reads up to `close`, which must come; `at` moves past it.
std::optional<std::string_view> ReadUntil(std::string_view text, std::size_t& at, char close) {
    const std::size_t end = text.find(close, at);
    if (end == std::string_view::npos)
        return std::nullopt;
    const std::string_view value = text.substr(at, end - at);
    at = end + 1;
    return value;
}

} // namespace

std::optional<DavDepth> ParseDepth(const std::string* header, DavDepth absent) {
    if (header == nullptr)
        return absent;
    const std::string_view value = TrimSpaceTab(*header);
    if (value == "0")
        return DavDepth::Zero;
    if (value == "1")
        return DavDepth::One;
    if (AsciiEqualsIgnoreCase(value, "infinity"))
        return DavDepth::Infinity;
    return std::nullopt;
}

std::optional<bool> ParseOverwrite(const std::string* header) {
    if (header == nullptr)
        return true;
    const std::string_view value = TrimSpaceTab(*header);
    if (value == "T" || value == "t")
        return true;
    if (value == "F" || value == "f")
        return false;
    return std::nullopt;
}

std::optional<std::string> DestinationPath(std::string_view header, std::string_view host) {
    std::string_view value = TrimSpaceTab(header);
    if (value.empty())
        return std::nullopt;
    if (value.front() != '/') {
        const std::size_t scheme = value.find("://");
        if (scheme == std::string_view::npos)
            return std::nullopt;
        const std::string_view name = value.substr(0, scheme);
        if (!AsciiEqualsIgnoreCase(name, "http") && !AsciiEqualsIgnoreCase(name, "https"))
            return std::nullopt;
        value.remove_prefix(scheme + 3);
        const std::size_t slash = value.find('/');
        const std::string_view authority = value.substr(0, slash);
        // User information in the authority is never ours to accept.
        if (authority.find('@') != std::string_view::npos ||
            !AsciiEqualsIgnoreCase(authority, TrimSpaceTab(host)))
            return std::nullopt;
        if (slash == std::string_view::npos)
            return std::string("/");
        value.remove_prefix(slash);
    }
    const std::size_t end = value.find_first_of("?#");
    return std::string(value.substr(0, end));
}

std::uint64_t ParseTimeout(const std::string* header, std::uint64_t fallback,
                           std::uint64_t maximum) {
    if (header == nullptr)
        return fallback;
    std::string_view rest = *header;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = TrimSpaceTab(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        if (AsciiEqualsIgnoreCase(item, "infinite"))
            return maximum;
        constexpr std::string_view kSecond = "second-";
        if (item.size() > kSecond.size() &&
            AsciiEqualsIgnoreCase(item.substr(0, kSecond.size()), kSecond)) {
            const std::string_view digits = item.substr(kSecond.size());
            std::uint64_t seconds = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), seconds);
            if (error == std::errc::result_out_of_range)
                return maximum;
            if (error == std::errc() && end == digits.data() + digits.size() && seconds > 0)
                return seconds < maximum ? seconds : maximum;
        }
    }
    return fallback;
}

std::optional<std::string> ParseLockToken(std::string_view header) {
    const std::string_view value = TrimSpaceTab(header);
    if (value.size() < 3 || value.front() != '<' || value.back() != '>')
        return std::nullopt;
    const std::string_view token = value.substr(1, value.size() - 2);
    if (token.find_first_of("<> ") != std::string_view::npos)
        return std::nullopt;
    return std::string(token);
}

std::optional<std::vector<IfList>> ParseIfHeader(std::string_view header) {
    std::vector<IfList> lists;
    std::size_t conditions = 0;
    std::string resource;
    std::size_t at = 0;
    for (;;) {
        SkipSpace(header, at);
        if (at == header.size())
            break;
        if (header[at] == '<') {
            ++at;
            const std::optional<std::string_view> tag = ReadUntil(header, at, '>');
            if (!tag || tag->empty())
                return std::nullopt;
            resource = std::string(*tag);
            continue;
        }
        if (header[at] != '(')
            return std::nullopt;
        ++at;
        IfList list;
        list.resource = resource;
        for (;;) {
            SkipSpace(header, at);
            if (at == header.size())
                return std::nullopt;
            if (header[at] == ')') {
                ++at;
                break;
            }
            IfCondition condition;
            if (header.substr(at, 3) == "Not" || header.substr(at, 3) == "not") {
                condition.negated = true;
                at += 3;
                SkipSpace(header, at);
                if (at == header.size())
                    return std::nullopt;
            }
            const char open = header[at];
            if (open != '<' && open != '[')
                return std::nullopt;
            ++at;
            const std::optional<std::string_view> value =
                ReadUntil(header, at, open == '<' ? '>' : ']');
            if (!value || value->empty())
                return std::nullopt;
            condition.isEtag = open == '[';
            condition.value = std::string(*value);
            list.conditions.push_back(std::move(condition));
            if (++conditions > kMaxIfConditions)
                return std::nullopt;
        }
        if (list.conditions.empty())
            return std::nullopt;
        lists.push_back(std::move(list));
        if (lists.size() > kMaxIfLists)
            return std::nullopt;
    }
    if (lists.empty())
        return std::nullopt;
    return lists;
}

} // namespace Velto::Corvane
