#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
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

// One JSON value. Only the field of the current kind carries data. Object
// members keep insertion order and never hold two members with the same key.
class JsonValue {
public:
    JsonValue() = default;
    explicit JsonValue(bool value) : m_kind(JsonKind::Bool), m_bool(value) {}
    explicit JsonValue(double value) : m_kind(JsonKind::Number), m_number(value) {}
    explicit JsonValue(std::string value) : m_kind(JsonKind::String), m_string(std::move(value)) {}
    explicit JsonValue(const char* value) : JsonValue(std::string(value)) {}
    // Integers and other arithmetic types must be converted to double by the caller.
    template <typename T> JsonValue(T) = delete;

    static JsonValue MakeArray();
    static JsonValue MakeObject();

    JsonKind Kind() const { return m_kind; }
    bool IsNull() const { return m_kind == JsonKind::Null; }

    // Readers never fail: a wrong kind or a missing key yields a shared empty value.
    const JsonValue& Get(std::string_view key) const;
    const JsonValue* Find(std::string_view key) const;
    const std::string& AsString() const;
    const JsonArray& AsArray() const;
    const JsonMembers& AsMembers() const;
    // The number when it is integral and within [min, max], else `fallback`.
    std::int64_t GetInt(std::int64_t fallback, std::int64_t min, std::int64_t max) const;
    // The boolean when this is a Bool, else `fallback`; nothing else is coerced.
    bool GetBool(bool fallback) const { return m_kind == JsonKind::Bool ? m_bool : fallback; }
    bool AsBool() const { return m_bool; }
    double AsNumber() const { return m_number; }

    // Appends to an array (a Null value becomes an empty array first).
    JsonValue& Append(JsonValue value);
    // Sets a member of an object (a Null value becomes an empty object first);
    // an existing member keeps its position and gets the new value.
    JsonValue& Set(std::string_view key, JsonValue value);

    // Used by the parser: keeps an existing member (the first occurrence wins).
    void AddMemberIfAbsent(std::string key, JsonValue value);
    // Used by the parser once it has checked itself that the key is new.
    void AppendNewMember(std::string key, JsonValue value);

private:
    JsonKind m_kind{JsonKind::Null};
    bool m_bool{false};
    double m_number{0.0};
    std::string m_string;
    JsonArray m_array;
    JsonMembers m_members;
};

// The nesting limit every caller uses.
constexpr std::int32_t kJsonMaxDepth = 64;

// Strict parser. `second` is false on any error; `first` is then unusable.
std::pair<JsonValue, bool> ParseJson(std::string_view text, std::int32_t maxDepth);

// Compact text (no whitespace) or two-space indented text without a final line feed.
std::string SerializeJson(const JsonValue& value, bool pretty);

} // namespace Velto::Corvane
