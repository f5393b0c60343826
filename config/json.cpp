#include "config/json.h"

#include "base/hex_digit.h"
#include "base/utf.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <unordered_set>

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

class Parser {
public:
    Parser(std::string_view text, std::int32_t maxDepth) : m_text(text), m_maxDepth(maxDepth) {}

    bool ParseDocument(JsonValue& out) {
        SkipWhitespace();
        if (!ParseValue(out, 0))
            return false;
        SkipWhitespace();
        return m_pos == m_text.size();
    }

private:
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return m_text[m_pos]; }

    void SkipWhitespace() {
        while (!AtEnd() && IsWhitespace(Peek()))
            ++m_pos;
    }

    bool ParseValue(JsonValue& out, std::int32_t depth) {
        if (AtEnd())
            return false;
        switch (Peek()) {
        case '"': {
            std::string s;
            if (!ParseString(s))
                return false;
            out = JsonValue(std::move(s));
            return true;
        }
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

    bool ParseLiteral(std::string_view word, JsonValue value, JsonValue& out) {
        if (m_text.substr(m_pos, word.size()) != word)
            return false;
        m_pos += word.size();
        out = std::move(value);
        return true;
    }

    bool DepthAllowed(std::int32_t depth) const {
        return depth <= m_maxDepth && depth <= kHardDepthLimit;
    }

    bool ParseArray(JsonValue& out, std::int32_t depth) {
        if (!DepthAllowed(depth))
            return false;
        ++m_pos; // '['
        out = JsonValue::MakeArray();
        SkipWhitespace();
        if (!AtEnd() && Peek() == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            SkipWhitespace();
            JsonValue element;
            if (!ParseValue(element, depth))
                return false;
            out.Append(std::move(element));
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

    bool ParseObject(JsonValue& out, std::int32_t depth) {
        if (!DepthAllowed(depth))
            return false;
        ++m_pos; // '{'
        out = JsonValue::MakeObject();
        SkipWhitespace();
        if (!AtEnd() && Peek() == '}') {
            ++m_pos;
            return true;
        }
        std::unordered_set<std::string> seenKeys;
        for (;;) {
            SkipWhitespace();
            if (AtEnd() || Peek() != '"')
                return false;
            std::string key;
            if (!ParseString(key))
                return false;
            SkipWhitespace();
            if (AtEnd() || Peek() != ':')
                return false;
            ++m_pos;
            SkipWhitespace();
            JsonValue value;
            if (!ParseValue(value, depth))
                return false;
            AddMember(out, seenKeys, std::move(key), std::move(value));
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

    // The first occurrence of a key wins; later ones were parsed but are dropped.
    static void AddMember(JsonValue& object, std::unordered_set<std::string>& seenKeys,
                          std::string key, JsonValue value) {
        const JsonMembers& members = object.AsMembers();
        if (members.size() < kLinearKeyCheckLimit) {
            object.AddMemberIfAbsent(std::move(key), std::move(value));
            return;
        }
        if (seenKeys.empty()) {
            for (const auto& member : members)
                seenKeys.insert(member.first);
        }
        if (!seenKeys.insert(key).second)
            return;
        object.AppendNewMember(std::move(key), std::move(value));
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
            if (AtEnd())
                return false;
            const char c = m_text[m_pos++];
            if (c == '"')
                return IsValidUtf8(out);
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
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

    bool ParseNumber(JsonValue& out) {
        const std::size_t start = m_pos;
        if (!AtEnd() && Peek() == '-')
            ++m_pos;
        if (AtEnd() || !IsDigit(Peek()))
            return false;
        if (Peek() == '0')
            ++m_pos;
        else
            SkipDigits();
        if (!AtEnd() && Peek() == '.') {
            ++m_pos;
            if (AtEnd() || !IsDigit(Peek()))
                return false;
            SkipDigits();
        }
        if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
            ++m_pos;
            if (!AtEnd() && (Peek() == '+' || Peek() == '-'))
                ++m_pos;
            if (AtEnd() || !IsDigit(Peek()))
                return false;
            SkipDigits();
        }
        double value = 0;
        if (!ConvertNumber(m_text.substr(start, m_pos - start), value))
            return false;
        out = JsonValue(value);
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

void AppendQuoted(std::string& out, std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : s) {
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

JsonValue JsonValue::MakeArray() {
    JsonValue v;
    v.m_kind = JsonKind::Array;
    return v;
}

JsonValue JsonValue::MakeObject() {
    JsonValue v;
    v.m_kind = JsonKind::Object;
    return v;
}

const JsonValue& JsonValue::Get(std::string_view key) const {
    const JsonValue* found = Find(key);
    return found ? *found : SharedNull();
}

const JsonValue* JsonValue::Find(std::string_view key) const {
    if (m_kind != JsonKind::Object)
        return nullptr;
    for (const auto& member : m_members) {
        if (member.first == key)
            return &member.second;
    }
    return nullptr;
}

const std::string& JsonValue::AsString() const {
    return m_kind == JsonKind::String ? m_string : SharedEmptyString();
}

const JsonArray& JsonValue::AsArray() const {
    return m_kind == JsonKind::Array ? m_array : SharedEmptyArray();
}

const JsonMembers& JsonValue::AsMembers() const {
    return m_kind == JsonKind::Object ? m_members : SharedEmptyMembers();
}

std::int64_t JsonValue::GetInt(std::int64_t fallback, std::int64_t min, std::int64_t max) const {
    if (m_kind != JsonKind::Number || std::isnan(m_number) || std::floor(m_number) != m_number)
        return fallback;
    // Values outside the 64-bit range never reach the integer conversion.
    if (m_number >= kInt64Limit || m_number < -kInt64Limit)
        return fallback;
    const auto value = static_cast<std::int64_t>(m_number);
    if (value < min || value > max)
        return fallback;
    return value;
}

JsonValue& JsonValue::Append(JsonValue value) {
    if (m_kind == JsonKind::Null)
        m_kind = JsonKind::Array;
    m_array.push_back(std::move(value));
    return m_array.back();
}

JsonValue& JsonValue::Set(std::string_view key, JsonValue value) {
    if (m_kind == JsonKind::Null)
        m_kind = JsonKind::Object;
    for (auto& member : m_members) {
        if (member.first == key) {
            member.second = std::move(value);
            return member.second;
        }
    }
    m_members.emplace_back(std::string(key), std::move(value));
    return m_members.back().second;
}

void JsonValue::AddMemberIfAbsent(std::string key, JsonValue value) {
    if (m_kind == JsonKind::Null)
        m_kind = JsonKind::Object;
    for (const auto& member : m_members) {
        if (member.first == key)
            return;
    }
    m_members.emplace_back(std::move(key), std::move(value));
}

void JsonValue::AppendNewMember(std::string key, JsonValue value) {
    if (m_kind == JsonKind::Null)
        m_kind = JsonKind::Object;
    m_members.emplace_back(std::move(key), std::move(value));
}

std::pair<JsonValue, bool> ParseJson(std::string_view text, std::int32_t maxDepth) {
    JsonValue value;
    Parser parser(text, maxDepth);
    const bool ok = parser.ParseDocument(value);
    return {std::move(value), ok};
}

std::string SerializeJson(const JsonValue& value, bool pretty) {
    std::string out;
    AppendValue(out, value, pretty, 0);
    return out;
}

} // namespace Velto::Corvane
