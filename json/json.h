#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace Velto::Corvane {

enum class JsonKind : std::int32_t {
    Null = 0,
    Bool = 1,
    Number = 2,
    String = 3,
    Array = 4,
    Object = 5,
};

class JsonValue;
using JsonArray = std::vector<JsonValue>;
using JsonMember = std::pair<std::string, JsonValue>;
using JsonMembers = std::vector<JsonMember>;

// One JSON value. Only the data of the current kind is held: a value is 40
// bytes whatever its kind, with a string's bytes, an array's elements or an
// object's members inline or in their own one allocation. Object members keep
// insertion order and never hold two members with the same key.
class JsonValue {
public:
    JsonValue() = default;
    explicit JsonValue(bool value) : m_value(value) {}
    explicit JsonValue(double value) : m_value(value) {}
    explicit JsonValue(std::string value) : m_value(std::move(value)) {}
    explicit JsonValue(const char* value) : JsonValue(std::string(value)) {}
    // Integers and other arithmetic types must be converted to double by the caller.
    template <typename T> JsonValue(T) = delete;

    static JsonValue MakeArray();
    static JsonValue MakeObject();

    JsonKind Kind() const { return static_cast<JsonKind>(m_value.index()); }
    bool IsNull() const { return Kind() == JsonKind::Null; }

    // Readers never fail: a wrong kind or a missing key yields a shared empty value.
    const JsonValue& Get(std::string_view key) const;
    const JsonValue* Find(std::string_view key) const;
    const std::string& AsString() const;
    const JsonArray& AsArray() const;
    const JsonMembers& AsMembers() const;
    // The number when it is integral and within [min, max], else `fallback`.
    std::int64_t GetInt(std::int64_t fallback, std::int64_t min, std::int64_t max) const;
    // The boolean when this is a Bool, else `fallback`; nothing else is coerced.
    bool GetBool(bool fallback) const {
        const bool* value = std::get_if<bool>(&m_value);
        return value != nullptr ? *value : fallback;
    }
    // The boolean or the number; false and 0 for values of other kinds.
    bool AsBool() const { return GetBool(false); }
    double AsNumber() const {
        const double* value = std::get_if<double>(&m_value);
        return value != nullptr ? *value : 0.0;
    }

    // Appends to an array (a Null value becomes an empty array first).
    JsonValue& Append(JsonValue value);
    // Sets a member of an object (a Null value becomes an empty object first);
    // an existing member keeps its position and gets the new value.
    JsonValue& Set(std::string_view key, JsonValue value);

    // Makes room for `count` elements of an array or members of an object, so
    // that one of known size is allocated once and exactly.
    void Reserve(std::size_t count);

    // Used by the parser: keeps an existing member (the first occurrence wins).
    void AddMemberIfAbsent(std::string key, JsonValue value);
    // Used by the parser once it has checked itself that the key is new.
    void AppendNewMember(std::string key, JsonValue value);

private:
    JsonArray& ArrayForAppend();
    JsonMembers& MembersForSet();

    // The alternatives stand in the order of JsonKind, so index() is the kind.
    std::variant<std::monostate, bool, double, std::string, JsonArray, JsonMembers> m_value;
};

// The nesting limit every caller uses.
constexpr std::int32_t kJsonMaxDepth = 64;

// Strict parser. `second` is false on any error; `first` is then unusable.
std::pair<JsonValue, bool> ParseJson(std::string_view text, std::int32_t maxDepth);
// As above, and fails as well when the text holds more than `maxValues`
// values, every object key counting as one more. The text is checked in full
// before the first value is built, so a refused text costs no memory, and an
// accepted one is built with every array and object allocated once at its
// final size.
std::pair<JsonValue, bool> ParseJson(std::string_view text, std::int32_t maxDepth,
                                     std::size_t maxValues);

// Compact text (no whitespace) or two-space indented text without a final line feed.
std::string SerializeJson(const JsonValue& value, bool pretty);

// The bytes SerializeJson writes for one string or one number, for writers
// that stream a large reply piece by piece instead of building its tree.
void AppendJsonString(std::string& out, std::string_view text);
void AppendJsonNumber(std::string& out, double value);

} // namespace Velto::Corvane
