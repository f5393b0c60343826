#include "json/json.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

namespace Velto::Corvane {
namespace {

std::string Nested(int depth, std::string_view open, std::string_view close) {
    std::string s;
    for (int i = 0; i < depth; ++i)
        s += open;
    for (int i = 0; i < depth; ++i)
        s += close;
    return s;
}

TEST(JsonParseTest, AcceptsAndRefusesTexts) {
    struct Case {
        std::string text;
        bool ok;
    };
    const Case cases[] = {
        {"{}", true},
        {"[]", true},
        {"", false},
        {"   ", false},
        {" \t\r\n{} \n", true},
        {"{} x", false},
        {"{}{}", false},
        {"[1,]", false},
        {"{\"a\":1,}", false},
        {"[01]", false},
        {"[+1]", false},
        {"[.5]", false},
        {"[1.]", false},
        {"[1e]", false},
        {"[-]", false},
        {"[-0]", true},
        {"[0.5e-3]", true},
        {"[1E+2]", true},
        {"[true,false,null]", true},
        {"[True]", false},
        {"[tru]", false},
        {"tru", false},
        {"truex", false},
        {"nul", false},
        {"[1 2]", false},
        {"{\"a\" 1}", false},
        {"{a:1}", false},
        {"{\"a\":}", false},
        {"[", false},
        {"{\"a\":1", false},
        {"\"abc", false},
        {"\"\\x\"", false},
        {"\"\\u12\"", false},
        {"\"\\u12G4\"", false},
        {"\"\\uD83D\"", false},
        {"\"\\uDE00\"", false},
        {"\"\\uD83D\\u0041\"", false},
        {"\"\\uD83Dx\"", false},
        {"\"a\tb\"", false},
        {"\"a\nb\"", false},
        {"\"\xC3\xA9\"", true},
        {"\"\xE9\"", false},
        {"\"\xC0\x80\"", false},
        {"\"\xED\xA0\x80\"", false},
        {"\"\xF4\x90\x80\x80\"", false},
        {"\"\xE2\x82\"", false},
        {"\"\x7F\"", true},
        {"\f{}", false},
        {"1e400", true},
        {"-1e400", true},
        {"1e-400", true},
        {std::string("[1]\0", 4), false},
        {Nested(64, "[", "]"), true},
        {Nested(65, "[", "]"), false},
        {Nested(32, "[{\"k\":", "") + "1" + Nested(32, "", "}]"), true},
        {Nested(32, "[{\"k\":", "") + "[1]" + Nested(32, "", "}]"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseJson(c.text, kJsonMaxDepth).second, c.ok) << c.text;
    }
}

TEST(JsonParseTest, DecodesValues) {
    auto [doc, ok] = ParseJson(R"({"a":1,"b":[true,"x\/\"\\\b\f\n\r\t"],"a":2,"c":-0.5e1})", 64);
    ASSERT_TRUE(ok);
    ASSERT_EQ(doc.AsMembers().size(), 3u);
    EXPECT_EQ(doc.Get("a").AsNumber(), 1.0); // first occurrence wins
    EXPECT_EQ(doc.AsMembers()[0].first, "a");
    EXPECT_EQ(doc.Get("b").AsArray()[1].AsString(), "x/\"\\\b\f\n\r\t");
    EXPECT_EQ(doc.Get("c").AsNumber(), -5.0);

    EXPECT_EQ(ParseJson(R"("\uD83D\uDE00")", 64).first.AsString(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ParseJson(R"("\u00e9\u00E9")", 64).first.AsString(), "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(ParseJson(R"("\u0000")", 64).first.AsString(), std::string(1, '\0'));
    EXPECT_TRUE(std::isinf(ParseJson("1e400", 64).first.AsNumber()));

    // Duplicate keys are dropped also in objects large enough for the hashed check.
    std::string big = "{";
    for (int i = 0; i < 100; ++i)
        big += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
    big += "\"k5\":500,\"k99\":[1,{]]}";
    EXPECT_FALSE(ParseJson(big, 64).second); // the dropped value must still be valid
    big = big.substr(0, big.rfind(",\"k99\"")) + ",\"k99\":-1}";
    auto [large, largeOk] = ParseJson(big, 64);
    ASSERT_TRUE(largeOk);
    EXPECT_EQ(large.AsMembers().size(), 100u);
    EXPECT_EQ(large.Get("k5").AsNumber(), 5.0);
    EXPECT_EQ(large.Get("k99").AsNumber(), 99.0);
}

// Short integers are converted without the C library; every number must
// still come out exactly as the library's conversion gives it.
TEST(JsonParseTest, NumbersMatchTheLibraryConversion) {
    for (const char* text : {"0", "-0", "7", "-42", "999999999999999", "-999999999999999",
                             "1000000000000000", "9007199254740993", "18446744073709551617",
                             "123456789012345678901234567890", "0.1", "-0.0", "5e-324", "1E2"}) {
        SCOPED_TRACE(text);
        auto [value, ok] = ParseJson(text, kJsonMaxDepth);
        ASSERT_TRUE(ok);
        const double expected = std::strtod(text, nullptr);
        EXPECT_EQ(value.AsNumber(), expected);
        EXPECT_EQ(std::signbit(value.AsNumber()), std::signbit(expected));
    }
}

TEST(JsonParseTest, ValueLimitCountsValuesAndKeys) {
    struct Case {
        std::string text;
        std::size_t maxValues;
        bool ok;
    };
    const Case cases[] = {
        {"[0,0,0]", 4, true}, // the array and its three elements
        {"[0,0,0]", 3, false},
        {R"({"a":1})", 3, true}, // the object, the key and the value
        {R"({"a":1})", 2, false},
        {R"({"a":1,"a":2})", 5, true}, // a dropped duplicate counts all the same
        {R"({"a":1,"a":2})", 4, false},
        {R"([[],{},"",null])", 5, true},
        {R"([[],{},"",null])", 4, false},
        {"[0,]", 100, false}, // the limit adds a check; it takes none away
        {Nested(64, "[", "]"), 64, true},
        {Nested(65, "[", "]"), 1000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.text << " with at most " << c.maxValues);
        auto [limited, ok] = ParseJson(c.text, kJsonMaxDepth, c.maxValues);
        EXPECT_EQ(ok, c.ok);
        if (ok) {
            EXPECT_EQ(SerializeJson(limited, false),
                      SerializeJson(ParseJson(c.text, kJsonMaxDepth).first, false));
        }
    }
}

// Every array and object of a parsed document is allocated at its final size.
TEST(JsonParseTest, ParsedContainersHoldNoSpareRoom) {
    std::string text = R"({"list":[)";
    for (int i = 0; i < 1000; ++i)
        text += (i == 0 ? "" : ",") + std::to_string(i);
    text += R"(],"nested":[[1,2,3],{"a":[],"b":{"c":"d"}}],"e":true})";
    auto [doc, ok] = ParseJson(text, kJsonMaxDepth);
    ASSERT_TRUE(ok);
    std::vector<const JsonValue*> pending{&doc};
    std::size_t containers = 0;
    while (!pending.empty()) {
        const JsonValue* value = pending.back();
        pending.pop_back();
        const JsonArray& items = value->AsArray();
        const JsonMembers& members = value->AsMembers();
        if (value->Kind() == JsonKind::Array) {
            ++containers;
            EXPECT_EQ(items.capacity(), items.size()) << SerializeJson(*value, false);
        }
        if (value->Kind() == JsonKind::Object) {
            ++containers;
            EXPECT_EQ(members.capacity(), members.size()) << SerializeJson(*value, false);
        }
        for (const JsonValue& item : items)
            pending.push_back(&item);
        for (const auto& member : members)
            pending.push_back(&member.second);
    }
    EXPECT_EQ(containers, 7u);
    EXPECT_EQ(doc.Get("list").AsArray().size(), 1000u);
}

// Switches LC_NUMERIC to a locale with a decimal comma, compiling one into a
// temporary folder when the system has none installed.
class CommaLocale {
public:
    CommaLocale() {
        if (Choose())
            return;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-locale-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            return;
        m_folder = pattern;
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + m_folder + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return;
        ::setenv("LOCPATH", m_folder.c_str(), 1);
        Choose();
    }
    ~CommaLocale() {
        std::setlocale(LC_NUMERIC, "C");
        if (!m_folder.empty()) {
            ::unsetenv("LOCPATH");
            std::filesystem::remove_all(m_folder);
        }
    }
    bool active() const { return m_active; }

private:
    bool Choose() {
        for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
            if (std::setlocale(LC_NUMERIC, name) &&
                std::string_view(std::localeconv()->decimal_point) == ",")
                return m_active = true;
        }
        return false;
    }

    std::string m_folder;
    bool m_active{false};
};

TEST(JsonParseTest, NumbersIgnoreTheProcessLocale) {
    CommaLocale locale;
    if (!locale.active())
        GTEST_SKIP() << "no locale with a decimal comma could be made";
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 0.5);
    ASSERT_STREQ(printed, "0,5"); // the process really uses a decimal comma now
    auto [doc, ok] = ParseJson("[0.5,1e2,-2.25E-1]", 64);
    ASSERT_TRUE(ok);
    EXPECT_EQ(doc.AsArray()[0].AsNumber(), 0.5);
    EXPECT_EQ(doc.AsArray()[1].AsNumber(), 100.0);
    EXPECT_EQ(doc.AsArray()[2].AsNumber(), -0.225);
    EXPECT_EQ(ParseJson("[0,5]", 64).first.AsArray().size(), 2u);
    EXPECT_FALSE(ParseJson("0,5", 64).second);
    EXPECT_EQ(SerializeJson(JsonValue(0.25), false), "0.25");
    EXPECT_EQ(SerializeJson(JsonValue(1e300), false), "1.0000000000000001e+300");
}

TEST(JsonSerializeTest, WritesNumbersAndStrings) {
    struct Case {
        JsonValue value;
        std::string text;
    };
    const Case cases[] = {
        {JsonValue(3.0), "3"},
        {JsonValue(3.5), "3.5"},
        {JsonValue(-0.0), "0"},
        {JsonValue(0.5), "0.5"},
        {JsonValue(-12345.0), "-12345"},
        {JsonValue(9007199254740991.0), "9007199254740991"},
        {JsonValue(9007199254740992.0), "9007199254740992"},
        {JsonValue(1e300), "1.0000000000000001e+300"},
        {JsonValue(0.1), "0.10000000000000001"},
        {JsonValue(std::numeric_limits<double>::quiet_NaN()), "null"},
        {JsonValue(std::numeric_limits<double>::infinity()), "null"},
        {JsonValue(-std::numeric_limits<double>::infinity()), "null"},
        {JsonValue(true), "true"},
        {JsonValue(), "null"},
        {JsonValue("a<b>&"), R"("a\u003cb\u003e\u0026")"},
        {JsonValue("\t"), R"("\t")"},
        {JsonValue("\"\\/\n\r\b\f\x01\x1f\x7f"),
         "\"\\\"\\\\/\\n\\r\\u0008\\u000c\\u0001\\u001f\x7f\""},
        {JsonValue(std::string("\0\xE9\xC3\xA9", 4)), "\"\\u0000\xE9\xC3\xA9\""},
        {JsonValue::MakeArray(), "[]"},
        {JsonValue::MakeObject(), "{}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SerializeJson(c.value, false), c.text);
        EXPECT_EQ(SerializeJson(c.value, true), c.text);
    }
}

TEST(JsonSerializeTest, PrettyAndCompactLayout) {
    JsonValue doc;
    JsonValue& a = doc.Set("a", JsonValue::MakeArray());
    a.Append(JsonValue(1.0));
    a.Append(JsonValue(2.0));
    doc.Set("b", JsonValue::MakeObject());
    EXPECT_EQ(SerializeJson(doc, true), "{\n  \"a\": [\n    1,\n    2\n  ],\n  \"b\": {}\n}");
    EXPECT_EQ(SerializeJson(doc, false), R"({"a":[1,2],"b":{}})");

    // Set replaces in place; Append on null makes an array.
    doc.Set("a", JsonValue("x"));
    doc.Set("c", JsonValue(false));
    EXPECT_EQ(SerializeJson(doc, false), R"({"a":"x","b":{},"c":false})");
    JsonValue list;
    list.Append(JsonValue());
    EXPECT_EQ(SerializeJson(list, false), "[null]");
}

TEST(JsonReadTest, AccessorsFallBack) {
    auto [doc, ok] = ParseJson(R"({"port":80,"frac":80.5,"big":65536,"zero":0,"text":"80",
        "huge":1e300,"neg":-1e300,"flag":true,"one":1,"obj":{"x":{"y":7}}})",
                               64);
    ASSERT_TRUE(ok);
    EXPECT_EQ(doc.Get("port").GetInt(5, 1, 65535), 80);
    for (const char* key : {"frac", "big", "zero", "text", "missing", "huge", "neg", "obj"})
        EXPECT_EQ(doc.Get(key).GetInt(5, 1, 65535), 5) << key;
    EXPECT_EQ(doc.Get("huge").GetInt(5, INT64_MIN, INT64_MAX), 5);
    EXPECT_EQ(doc.Get("obj").Get("x").Get("y").GetInt(0, 0, 10), 7);
    EXPECT_TRUE(doc.Get("server").Get("port").IsNull());
    EXPECT_EQ(doc.Find("server"), nullptr);
    EXPECT_NE(doc.Find("flag"), nullptr);
    EXPECT_EQ(doc.Get("port").Find("x"), nullptr);
    EXPECT_TRUE(doc.Get("flag").GetBool(false));
    EXPECT_FALSE(doc.Get("one").GetBool(false)); // 1 is not true
    EXPECT_TRUE(doc.Get("text").GetBool(true));  // a string is not a boolean
    EXPECT_EQ(doc.Get("port").AsString(), "");
    EXPECT_TRUE(doc.Get("port").AsArray().empty());
    EXPECT_TRUE(doc.Get("text").AsMembers().empty());
}

// A random document generator for the round trip against another implementation.
class DocumentGenerator {
public:
    explicit DocumentGenerator(unsigned seed) : m_rng(seed) {}

    JsonValue Make(int depth) {
        const int kind = Pick(depth >= 5 ? 4 : 6);
        switch (kind) {
        case 0:
            return JsonValue();
        case 1:
            return JsonValue(Pick(2) == 0);
        case 2:
            return JsonValue(MakeNumber());
        case 3:
            return JsonValue(MakeString());
        case 4: {
            JsonValue array = JsonValue::MakeArray();
            for (int n = Pick(5); n > 0; --n)
                array.Append(Make(depth + 1));
            return array;
        }
        default: {
            JsonValue object = JsonValue::MakeObject();
            for (int n = Pick(5); n > 0; --n)
                object.Set(MakeString(), Make(depth + 1));
            return object;
        }
        }
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

    double MakeNumber() {
        switch (Pick(5)) {
        case 0:
            return Pick(2001) - 1000;
        case 1:
            return std::uniform_real_distribution<double>(-1e6, 1e6)(m_rng);
        case 2:
            return std::ldexp(std::uniform_real_distribution<double>(-1, 1)(m_rng),
                              Pick(2000) - 1000);
        case 3:
            return 9007199254740992.0 * (Pick(2) ? 1 : -1) * (1 + Pick(3));
        default:
            return std::bit_cast<double>(
                std::uniform_int_distribution<std::uint64_t>(0, 0x7FEFFFFFFFFFFFFFull)(m_rng));
        }
    }

    std::string MakeString() {
        static const char32_t kPool[] = {
            'a',    'Z',    '0',    ' ',    '"',     '\\',    '/',      '<',   '>',   '&',
            '\t',   '\n',   '\r',   0,      1,       0x1F,    0x7F,     0xE9,  0x7FF, 0x800,
            0xD7FF, 0xE000, 0xFFFD, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF, 0xAC00};
        std::string s;
        for (int n = Pick(8); n > 0; --n) {
            const char32_t cp = kPool[Pick(sizeof kPool / sizeof kPool[0])];
            if (cp < 0x80) {
                s.push_back(static_cast<char>(cp));
            } else if (cp < 0x800) {
                s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
                s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            } else if (cp < 0x10000) {
                s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
                s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
                s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            } else {
                s.push_back(static_cast<char>(0xF0 | (cp >> 18)));
                s.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
                s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
                s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            }
        }
        return s;
    }

    std::mt19937_64 m_rng;
};

bool SameValue(const JsonValue& a, const JsonValue& b) {
    if (a.Kind() != b.Kind())
        return false;
    switch (a.Kind()) {
    case JsonKind::Null:
        return true;
    case JsonKind::Bool:
        return a.AsBool() == b.AsBool();
    case JsonKind::Number:
        return a.AsNumber() == b.AsNumber();
    case JsonKind::String:
        return a.AsString() == b.AsString();
    case JsonKind::Array:
        if (a.AsArray().size() != b.AsArray().size())
            return false;
        for (std::size_t i = 0; i < a.AsArray().size(); ++i) {
            if (!SameValue(a.AsArray()[i], b.AsArray()[i]))
                return false;
        }
        return true;
    case JsonKind::Object:
        if (a.AsMembers().size() != b.AsMembers().size())
            return false;
        for (std::size_t i = 0; i < a.AsMembers().size(); ++i) {
            if (a.AsMembers()[i].first != b.AsMembers()[i].first ||
                !SameValue(a.AsMembers()[i].second, b.AsMembers()[i].second))
                return false;
        }
        return true;
    }
    return false;
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Our output must mean the same to Python's json module, and Python's output
// (escaped and raw UTF-8 forms) must parse back to the very same values.
TEST(JsonRoundTripTest, AgreesWithPythonJson) {
    const char* source = std::getenv("VELTO_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const auto script = std::filesystem::path(source) / "tests/json/json_python_peer.py";
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velto-json-round-trip-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    struct Cleanup {
        std::filesystem::path dir;
        ~Cleanup() { std::filesystem::remove_all(dir); }
    } cleanup{dir};

    constexpr int kDocuments = 400;
    DocumentGenerator generator(20261210);
    std::vector<JsonValue> docs;
    {
        std::ofstream compact(dir / "compact.txt", std::ios::binary);
        std::ofstream pretty(dir / "pretty.txt", std::ios::binary);
        for (int i = 0; i < kDocuments; ++i) {
            docs.push_back(generator.Make(0));
            compact << SerializeJson(docs.back(), false) << '\n';
            // One pretty document per record, separated by a form feed line.
            pretty << SerializeJson(docs.back(), true) << "\n\f\n";
        }
    }
    const std::string command = "python3 '" + script.string() + "' '" + dir.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);

    for (const char* name :
         {"from_compact_ascii.txt", "from_compact_utf8.txt", "from_pretty_ascii.txt"}) {
        const auto lines = ReadLines(dir / name);
        ASSERT_EQ(lines.size(), docs.size()) << name;
        for (std::size_t i = 0; i < docs.size(); ++i) {
            auto [parsed, ok] = ParseJson(lines[i], kJsonMaxDepth);
            ASSERT_TRUE(ok) << name << ": " << lines[i];
            EXPECT_TRUE(SameValue(parsed, docs[i])) << name << " #" << i << ": " << lines[i];
        }
    }
    // Our own parser reads our output back to the same values.
    for (const auto& doc : docs) {
        for (const bool pretty : {false, true}) {
            const std::string text = SerializeJson(doc, pretty);
            SCOPED_TRACE(text);
            auto [parsed, ok] = ParseJson(text, kJsonMaxDepth);
            ASSERT_TRUE(ok);
            EXPECT_TRUE(SameValue(parsed, doc));
        }
    }
}

} // namespace
} // namespace Velto::Corvane
