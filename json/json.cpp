#include "json/json.h"

#include "base/hex_digit.h"
#include "base/utf.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <unordered_set>
#include <vector>

namespace Velto::Corvane {
namespace {

// Recursion is bounded by the caller's limit; this bounds it even for a
// careless caller so that deep input can never exhaust the stack.
constexpr std::int32_t kHardDepthLimit = 1024;
// Integral values below 2^53 are written as integers, everything else with 17 digits.
constexpr double kExactIntegerLimit = 9007199254740992.0;
constexpr int kNumberPrecision = 17;
constexpr std::size_t kNumberTextCapacity = 40;
constexpr std::size_t kIndentWidth = 2;
constexpr std::size_t kShortNumberSlice = 64;
// Integers of up to 15 digits stay below 2^53, so a double holds them exactly.
constexpr std::size_t kExactIntegerDigits = 15;
// Objects with more members than this check duplicate keys through a hash set,
// so a large request body cannot make parsing quadratic.
constexpr std::size_t kLinearKeyCheckLimit = 16;
// 2^63: the first double that no longer fits a signed 64-bit integer.
constexpr double kInt64Limit = 9223372036854775808.0;

const JsonValue& SharedNull() {
    static const JsonValue value;
    return value;
}
const std::string& SharedEmptyString() {
    static const std::string value;
    return value;
}
const JsonArray& SharedEmptyArray() {
    static const JsonArray value;
    return value;
}
const JsonMembers& SharedEmptyMembers() {
    static const JsonMembers value;
    return value;
}

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

bool IsWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
// Bytes a string takes over as they are: neither the closing quote, nor a
// backslash, nor a control byte.
bool IsPlainInputByte(char c) {
    return static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != '\\';
}

// Two passes over the text. The first checks all of it and notes how many
// elements or members each array and object has, in the order they open;
// nothing is built. The second builds the tree, allocating every container
// once at its final size. A text that fails, or holds too many values, is
// thus refused before it costs any memory, and the tree of an accepted one
// carries no spare capacity.
class Parser {
public:
    Parser(std::string_view text, std::int32_t maxDepth, std::size_t maxValues)
        : m_text(text), m_maxDepth(maxDepth), m_maxValues(maxValues) {}

    bool Parse(JsonValue& out) {
        if (!ParseDocument(nullptr))
            return false;
        std::string().swap(m_scratch);
        m_building = true;
        m_pos = 0;
        m_nextSize = 0;
        return ParseDocument(&out);
    }

private:
    // `out` is null in the first pass.
    bool ParseDocument(JsonValue* out) {
        SkipWhitespace();
        if (!ParseValue(out, 0))
            return false;
        SkipWhitespace();
        return m_pos == m_text.size();
    }

    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return m_text[m_pos]; }

    void SkipWhitespace() {
        while (!AtEnd() && IsWhitespace(Peek()))
            ++m_pos;
    }

    // Values and object keys are counted in the first pass only.
    bool CountValue() { return m_building || ++m_values <= m_maxValues; }

    bool ParseValue(JsonValue* out, std::int32_t depth) {
        if (AtEnd() || !CountValue())
            return false;
        switch (Peek()) {
        case '"':
            return ParseStringValue(out);
        case '[':
            return ParseArray(out, depth + 1);
        case '{':
            return ParseObject(out, depth + 1);
        case 't':
            return ParseLiteral("true", JsonValue(true), out);
        case 'f':
            return ParseLiteral("false", JsonValue(false), out);
        case 'n':
            return ParseLiteral("null", JsonValue(), out);
        default:
            return ParseNumber(out);
        }
    }

    bool ParseStringValue(JsonValue* out) {
        if (out == nullptr)
            return ParseString(Scratch());
        std::string s;
        if (!ParseString(s))
            return false;
        *out = JsonValue(std::move(s));
        return true;
    }

    // The first pass decodes strings into one reused buffer, only to check them.
    std::string& Scratch() {
        m_scratch.clear();
        return m_scratch;
    }

    bool ParseLiteral(std::string_view word, JsonValue value, JsonValue* out) {
        if (m_text.substr(m_pos, word.size()) != word)
            return false;
        m_pos += word.size();
        if (out != nullptr)
            *out = std::move(value);
        return true;
    }

    bool DepthAllowed(std::int32_t depth) const {
        return depth <= m_maxDepth && depth <= kHardDepthLimit;
    }

    // First pass: notes a new container and returns its index in m_sizes.
    // Second pass: returns the size the first pass noted for it.
    bool OpenContainer(std::size_t& index) {
        if (!m_building) {
            index = m_sizes.size();
            m_sizes.push_back(0);
            return true;
        }
        if (m_nextSize >= m_sizes.size())
            return false;
        index = m_sizes[m_nextSize++];
        return true;
    }

    bool CountElement(std::size_t index) {
        if (m_building)
            return true;
        if (m_sizes[index] == std::numeric_limits<std::uint32_t>::max())
            return false;
        ++m_sizes[index];
        return true;
    }

    bool ParseArray(JsonValue* out, std::int32_t depth) {
        if (!DepthAllowed(depth))
            return false;
        ++m_pos; // '['
        std::size_t container = 0;
        if (!OpenContainer(container))
            return false;
        if (out != nullptr) {
            *out = JsonValue::MakeArray();
            out->Reserve(container);
        }
        SkipWhitespace();
        if (!AtEnd() && Peek() == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            SkipWhitespace();
            // Elements are parsed in place: the array has its room already.
            JsonValue* element = out != nullptr ? &out->Append(JsonValue()) : nullptr;
            if (!ParseValue(element, depth) || !CountElement(container))
                return false;
            SkipWhitespace();
            if (AtEnd())
                return false;
            const char c = m_text[m_pos++];
            if (c == ']')
                return true;
            if (c != ',')
                return false;
        }
    }

    bool ParseObject(JsonValue* out, std::int32_t depth) {
        if (!DepthAllowed(depth))
            return false;
        ++m_pos; // '{'
        std::size_t container = 0;
        if (!OpenContainer(container))
            return false;
        if (out != nullptr) {
            *out = JsonValue::MakeObject();
            out->Reserve(container);
        }
        SkipWhitespace();
        if (!AtEnd() && Peek() == '}') {
            ++m_pos;
            return true;
        }
        KeySet seenKeys;
        for (;;) {
            SkipWhitespace();
            if (AtEnd() || Peek() != '"' || !CountValue())
                return false;
            std::string key;
            if (!ParseString(out != nullptr ? key : Scratch()))
                return false;
            SkipWhitespace();
            if (AtEnd() || Peek() != ':')
                return false;
            ++m_pos;
            SkipWhitespace();
            JsonValue value;
            if (!ParseValue(out != nullptr ? &value : nullptr, depth) || !CountElement(container))
                return false;
            if (out != nullptr)
                AddMember(*out, seenKeys, std::move(key), std::move(value));
            SkipWhitespace();
            if (AtEnd())
                return false;
            const char c = m_text[m_pos++];
            if (c == '}')
                return true;
            if (c != ',')
                return false;
        }
    }

    // Keys of one object, viewed in place in its members.
    using KeySet = std::unordered_set<std::string_view>;

    static void FillKeys(const JsonValue& object, KeySet& keys) {
        keys.clear();
        for (const auto& member : object.AsMembers())
            keys.insert(member.first);
    }

    // The first occurrence of a key wins; later ones were parsed but are dropped.
    static void AddMember(JsonValue& object, KeySet& seenKeys, std::string key, JsonValue value) {
        const JsonMembers& members = object.AsMembers();
        if (members.size() < kLinearKeyCheckLimit) {
            object.AddMemberIfAbsent(std::move(key), std::move(value));
            return;
        }
        if (seenKeys.empty())
            FillKeys(object, seenKeys);
        if (seenKeys.contains(key))
            return;
        // The object was sized for all its members, so stored keys stay put;
        // should it ever grow, the views are taken anew.
        const bool grows = members.size() == members.capacity();
        object.AppendNewMember(std::move(key), std::move(value));
        if (grows)
            FillKeys(object, seenKeys);
        else
            seenKeys.insert(members.back().first);
    }

    bool ReadHexUnit(std::uint32_t& unit) {
        if (m_text.size() - m_pos < 4)
            return false;
        unit = 0;
        for (int k = 0; k < 4; ++k) {
            const int v = HexDigitValue(m_text[m_pos + k]);
            if (v < 0)
                return false;
            unit = (unit << 4) | static_cast<std::uint32_t>(v);
        }
        m_pos += 4;
        return true;
    }

    bool ParseUnicodeEscape(std::string& out) {
        std::uint32_t unit = 0;
        if (!ReadHexUnit(unit))
            return false;
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (m_text.size() - m_pos < 2 || m_text[m_pos] != '\\' || m_text[m_pos + 1] != 'u')
                return false;
            m_pos += 2;
            std::uint32_t low = 0;
            if (!ReadHexUnit(low) || low < 0xDC00 || low > 0xDFFF)
                return false;
            AppendUtf8(out, (unit - 0xD800) * 0x400 + (low - 0xDC00) + 0x10000);
            return true;
        }
        AppendUtf8(out, unit);
        return true;
    }

    bool ParseString(std::string& out) {
        ++m_pos; // opening quote
        for (;;) {
            // Plain bytes are copied in runs.
            std::size_t end = m_pos;
            while (end < m_text.size() && IsPlainInputByte(m_text[end]))
                ++end;
            out.append(m_text.data() + m_pos, end - m_pos);
            m_pos = end;
            if (AtEnd())
                return false;
            const char c = m_text[m_pos++];
            if (c == '"')
                return IsValidUtf8(out);
            if (c != '\\')
                return false; // a control byte
            if (AtEnd())
                return false;
            const char e = m_text[m_pos++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out.push_back(e);
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u':
                if (!ParseUnicodeEscape(out))
                    return false;
                break;
            default:
                return false;
            }
        }
    }

    void SkipDigits() {
        while (!AtEnd() && IsDigit(Peek()))
            ++m_pos;
    }

    bool ParseNumber(JsonValue* out) {
        const std::size_t start = m_pos;
        const bool negative = !AtEnd() && Peek() == '-';
        if (negative)
            ++m_pos;
        if (AtEnd() || !IsDigit(Peek()))
            return false;
        const std::size_t digitsStart = m_pos;
        if (Peek() == '0')
            ++m_pos;
        else
            SkipDigits();
        const std::size_t digitsEnd = m_pos;
        bool integral = true;
        if (!AtEnd() && Peek() == '.') {
            integral = false;
            ++m_pos;
            if (AtEnd() || !IsDigit(Peek()))
                return false;
            SkipDigits();
        }
        if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
            integral = false;
            ++m_pos;
            if (!AtEnd() && (Peek() == '+' || Peek() == '-'))
                ++m_pos;
            if (AtEnd() || !IsDigit(Peek()))
                return false;
            SkipDigits();
        }
        if (out == nullptr)
            return true;
        // Short integers are exact in a double: no conversion call needed.
        if (integral && digitsEnd - digitsStart <= kExactIntegerDigits) {
            std::uint64_t magnitude = 0;
            for (std::size_t i = digitsStart; i < digitsEnd; ++i)
                magnitude = magnitude * 10 + static_cast<std::uint64_t>(m_text[i] - '0');
            const auto value = static_cast<double>(magnitude);
            *out = JsonValue(negative ? -value : value);
            return true;
        }
        double value = 0;
        if (!ConvertNumber(m_text.substr(start, m_pos - start), value))
            return false;
        *out = JsonValue(value);
        return true;
    }

    // strtod needs a terminated string; short slices stay on the stack.
    static bool ConvertNumber(std::string_view slice, double& value) {
        const locale_t c = CLocale();
        if (c == static_cast<locale_t>(nullptr))
            return false;
        char small[kShortNumberSlice + 1];
        std::string large;
        const char* text = small;
        if (slice.size() <= kShortNumberSlice) {
            slice.copy(small, slice.size());
            small[slice.size()] = '\0';
        } else {
            large.assign(slice);
            text = large.c_str();
        }
        char* end = nullptr;
        value = strtod_l(text, &end, c);
        return end == text + slice.size();
    }

    std::string_view m_text;
    std::size_t m_pos{0};
    std::int32_t m_maxDepth;
    std::size_t m_maxValues;
    bool m_building{false};
    std::size_t m_values{0};            // first pass: values and keys so far
    std::vector<std::uint32_t> m_sizes; // elements or members per container, in opening order
    std::size_t m_nextSize{0};          // second pass: the next container's entry
    std::string m_scratch;              // first pass: the string being checked
};

void AppendNumber(std::string& out, double x) {
    if (std::isnan(x) || std::isinf(x)) {
        out += "null";
        return;
    }
    char text[kNumberTextCapacity];
    std::to_chars_result r;
    if (std::floor(x) == x && std::fabs(x) < kExactIntegerLimit)
        r = std::to_chars(text, text + sizeof text, static_cast<long long>(x));
    else
        r = std::to_chars(text, text + sizeof text, x, std::chars_format::general,
                          kNumberPrecision);
    out.append(text, r.ptr);
}

// True for the bytes a string holds unchanged in the output.
constexpr bool IsPlainStringByte(unsigned char b) {
    return b >= 0x20 && b != '"' && b != '\\' && b != '<' && b != '>' && b != '&';
}

void AppendQuoted(std::string& out, std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    // Runs of plain bytes go out in one append; only the rest is escaped.
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t end = i;
        while (end < s.size() && IsPlainStringByte(static_cast<unsigned char>(s[end])))
            ++end;
        out.append(s.data() + i, end - i);
        if (end == s.size())
            break;
        i = end + 1;
        const char c = s[end];
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '\t':
            out += "\\t";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        default:
            break;
        }
        if (b < 0x20 || c == '<' || c == '>' || c == '&') {
            out += "\\u00";
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0xF]);
            continue;
        }
        out.push_back(c);
    }
    out.push_back('"');
}

void AppendIndent(std::string& out, std::size_t depth) {
    out.push_back('\n');
    out.append(depth * kIndentWidth, ' ');
}

void AppendValue(std::string& out, const JsonValue& v, bool pretty, std::size_t depth) {
    switch (v.Kind()) {
    case JsonKind::Null:
        out += "null";
        return;
    case JsonKind::Bool:
        out += v.AsBool() ? "true" : "false";
        return;
    case JsonKind::Number:
        AppendNumber(out, v.AsNumber());
        return;
    case JsonKind::String:
        AppendQuoted(out, v.AsString());
        return;
    case JsonKind::Array: {
        const JsonArray& items = v.AsArray();
        out.push_back('[');
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (pretty)
                AppendIndent(out, depth + 1);
            AppendValue(out, items[i], pretty, depth + 1);
            if (i + 1 < items.size())
                out.push_back(',');
        }
        if (pretty && !items.empty())
            AppendIndent(out, depth);
        out.push_back(']');
        return;
    }
    case JsonKind::Object: {
        const JsonMembers& members = v.AsMembers();
        out.push_back('{');
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (pretty)
                AppendIndent(out, depth + 1);
            AppendQuoted(out, members[i].first);
            out += pretty ? ": " : ":";
            AppendValue(out, members[i].second, pretty, depth + 1);
            if (i + 1 < members.size())
                out.push_back(',');
        }
        if (pretty && !members.empty())
            AppendIndent(out, depth);
        out.push_back('}');
        return;
    }
    }
}

} // namespace

// What a parsed request costs per value; keep it from growing unnoticed.
static_assert(sizeof(JsonValue) == 40);

JsonValue JsonValue::MakeArray() {
    JsonValue v;
    v.m_value.emplace<JsonArray>();
    return v;
}

JsonValue JsonValue::MakeObject() {
    JsonValue v;
    v.m_value.emplace<JsonMembers>();
    return v;
}

const JsonValue& JsonValue::Get(std::string_view key) const {
    const JsonValue* found = Find(key);
    return found ? *found : SharedNull();
}

const JsonValue* JsonValue::Find(std::string_view key) const {
    const JsonMembers* members = std::get_if<JsonMembers>(&m_value);
    if (members == nullptr)
        return nullptr;
    for (const auto& member : *members) {
        if (member.first == key)
            return &member.second;
    }
    return nullptr;
}

const std::string& JsonValue::AsString() const {
    const std::string* value = std::get_if<std::string>(&m_value);
    return value != nullptr ? *value : SharedEmptyString();
}

const JsonArray& JsonValue::AsArray() const {
    const JsonArray* value = std::get_if<JsonArray>(&m_value);
    return value != nullptr ? *value : SharedEmptyArray();
}

const JsonMembers& JsonValue::AsMembers() const {
    const JsonMembers* value = std::get_if<JsonMembers>(&m_value);
    return value != nullptr ? *value : SharedEmptyMembers();
}

std::int64_t JsonValue::GetInt(std::int64_t fallback, std::int64_t min, std::int64_t max) const {
    const double* number = std::get_if<double>(&m_value);
    if (number == nullptr || std::isnan(*number) || std::floor(*number) != *number)
        return fallback;
    // Values outside the 64-bit range never reach the integer conversion.
    if (*number >= kInt64Limit || *number < -kInt64Limit)
        return fallback;
    const auto value = static_cast<std::int64_t>(*number);
    if (value < min || value > max)
        return fallback;
    return value;
}

// Append and Set are meant for Null values and values of their own kind; any
// other value is replaced by an empty container first.
JsonArray& JsonValue::ArrayForAppend() {
    if (JsonArray* items = std::get_if<JsonArray>(&m_value))
        return *items;
    return m_value.emplace<JsonArray>();
}

JsonMembers& JsonValue::MembersForSet() {
    if (JsonMembers* members = std::get_if<JsonMembers>(&m_value))
        return *members;
    return m_value.emplace<JsonMembers>();
}

JsonValue& JsonValue::Append(JsonValue value) {
    JsonArray& items = ArrayForAppend();
    items.push_back(std::move(value));
    return items.back();
}

JsonValue& JsonValue::Set(std::string_view key, JsonValue value) {
    JsonMembers& members = MembersForSet();
    for (auto& member : members) {
        if (member.first == key) {
            member.second = std::move(value);
            return member.second;
        }
    }
    members.emplace_back(std::string(key), std::move(value));
    return members.back().second;
}

void JsonValue::Reserve(std::size_t count) {
    if (JsonArray* items = std::get_if<JsonArray>(&m_value))
        items->reserve(count);
    else if (JsonMembers* members = std::get_if<JsonMembers>(&m_value))
        members->reserve(count);
}

void JsonValue::AddMemberIfAbsent(std::string key, JsonValue value) {
    JsonMembers& members = MembersForSet();
    for (const auto& member : members) {
        if (member.first == key)
            return;
    }
    members.emplace_back(std::move(key), std::move(value));
}

void JsonValue::AppendNewMember(std::string key, JsonValue value) {
    MembersForSet().emplace_back(std::move(key), std::move(value));
}

std::pair<JsonValue, bool> ParseJson(std::string_view text, std::int32_t maxDepth) {
    return ParseJson(text, maxDepth, std::numeric_limits<std::size_t>::max());
}

std::pair<JsonValue, bool> ParseJson(std::string_view text, std::int32_t maxDepth,
                                     std::size_t maxValues) {
    JsonValue value;
    Parser parser(text, maxDepth, maxValues);
    const bool ok = parser.Parse(value);
    return {std::move(value), ok};
}

void AppendJsonString(std::string& out, std::string_view text) {
    AppendQuoted(out, text);
}

void AppendJsonNumber(std::string& out, double value) {
    AppendNumber(out, value);
}

std::string SerializeJson(const JsonValue& value, bool pretty) {
    std::string out;
    AppendValue(out, value, pretty, 0);
    return out;
}

} // namespace Velto::Corvane
