#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// The request headers WebDAV adds, read into values. Each parser returns none
// for a value it cannot read; the caller answers 400.

enum class DavDepth { Zero, One, Infinity };
// "0", "1" or "infinity" (any letter case); an absent header is `absent`.
std::optional<DavDepth> ParseDepth(const std::string* header, DavDepth absent);

// "T" or "F"; absent means T.
std::optional<bool> ParseOverwrite(const std::string* header);

// The path of a Destination: an absolute URI ("http://host/dav/a") or an
// absolute path, with its query and fragment dropped, still percent-encoded.
// `host` is the request's Host: a URI naming another authority is refused.
std::optional<std::string> DestinationPath(std::string_view header, std::string_view host);

// Lock time-out in seconds from "Second-N" or "Infinite" (the first one of a
// list that reads), at most `maximum`; `fallback` when absent or unreadable.
std::uint64_t ParseTimeout(const std::string* header, std::uint64_t fallback,
                           std::uint64_t maximum);

// The Lock-Token header: the token between "<" and ">".
std::optional<std::string> ParseLockToken(std::string_view header);

// The If header: lists of conditions, each list optionally tagged with the
// resource it is about. A list holds when all its conditions hold; the header
// holds when any list does.
struct IfCondition {
    bool negated{false};
    bool isEtag{false}; // an entity tag in [...], else a state token in <...>
    std::string value;  // the token, or the entity tag with its quotes
};
struct IfList {
    std::string resource; // the tag's path (still encoded), empty when untagged
    std::vector<IfCondition> conditions;
};
std::optional<std::vector<IfList>> ParseIfHeader(std::string_view header);

} // namespace Velto::Corvane
