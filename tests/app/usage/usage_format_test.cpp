// What a usage report says and how: the JSON text of a batch, feature names,
// the language tag and the system's release.

#include "app/usage/os_release.h"
#include "app/usage/usage_language.h"
#include "app/usage/usage_request_body.h"
#include "json/json.h"

#include <gtest/gtest.h>

namespace App {
namespace {

TEST(UsageBodyTest, StringsAreEscapedForJson) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "\"\""},
        {"plain", "\"plain\""},
        {"a\"b", "\"a\\\"b\""},
        {"back\\slash", "\"back\\\\slash\""},
        {std::string("\x01\x1f\n", 3), "\"\\u0001\\u001f\\u000a\""},
        {"\x7f\xea\xb0\x80/", "\"\x7f\xea\xb0\x80/\""},
    };
    for (const auto& [text, quoted] : cases)
        EXPECT_EQ(JsonQuoted(text), quoted) << text;
}

TEST(UsageBodyTest, OneStartEventAndOptionalMembers) {
    UsageIdentity identity{
        .clientId = "0123456789abcdef0123456789abcdef",
        .sessionId = "1700000000",
        .program = "VeltoCorvane",
        .version = "0.1.0.0",
        .language = "ko-kr",
        .osVersion = "Debian GNU/Linux 12",
    };
    const UsageEvent start{.name = "app_start", .feature = {}};
    EXPECT_EQ(UsageRequestBody(identity, {&start, 1}),
              "{\"client_id\":\"0123456789abcdef0123456789abcdef\",\"device\":{\"category\":"
              "\"desktop\",\"operating_system\":\"Linux\",\"operating_system_version\":\"Debian "
              "GNU/Linux 12\",\"language\":\"ko-kr\"},\"events\":[{\"name\":\"app_start\","
              "\"params\":{\"program\":\"VeltoCorvane\",\"version\":\"0.1.0.0\",\"session_id\":"
              "\"1700000000\",\"engagement_time_msec\":100}}]}");

    // Values that need escaping stay valid JSON; empty ones are left out.
    identity.language = {};
    identity.osVersion = {};
    identity.version = "1\"2\\3";
    const std::string body = UsageRequestBody(identity, {&start, 1});
    EXPECT_EQ(body.find("language"), std::string::npos);
    EXPECT_EQ(body.find("operating_system_version"), std::string::npos);
    const auto [json, ok] = Velto::Corvane::ParseJson(body, 64);
    ASSERT_TRUE(ok) << body;
    EXPECT_EQ(json.Get("events").AsArray().at(0).Get("params").Get("version").AsString(),
              "1\"2\\3");
    EXPECT_EQ(UsageRequestBody(identity, {}).substr(body.find(",\"events\"")), ",\"events\":[]}");
}

TEST(UsageBodyTest, FeatureNames) {
    for (const std::string& name :
         std::vector<std::string>{"a", "share_folder", "x9_", std::string(40, 'q')})
        EXPECT_TRUE(IsValidFeatureName(name)) << name;
    for (const std::string& name : std::vector<std::string>{
             "", "Share", "a-b", "a b", "é", "a\"", std::string(41, 'q'), std::string("a\0b", 3)})
        EXPECT_FALSE(IsValidFeatureName(name)) << name;
}

TEST(UsageLanguageTest, TagFromTheMessagesLocale) {
    struct Case {
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        const char* tag;
    };
    const std::vector<Case> cases = {
        {"", "", "", "ko_KR.UTF-8", "ko-kr"},
        {"", "", "", "en_US.UTF-8@euro", "en-us"},
        {"", "de_DE.UTF-8", "", "ko_KR.UTF-8", "de-de"},
        {"", "", "fr_FR", "ko_KR.UTF-8", "fr-fr"},
        {"pt_BR:en", "", "", "ko_KR.UTF-8", "pt-br"},
        {":sv", "", "", "ko_KR.UTF-8", "sv"},
        {"ko", "", "", "C", ""}, // LANGUAGE is ignored in the C locale
        {"", "", "", "C.UTF-8", ""},
        {"", "", "", "POSIX", ""},
        {"", "", "", "", ""},
        {"", "", "", "q\"t_US", "q\"t-us"},
    };
    for (const Case& c : cases) {
        const LocaleEnvironment environment{c.language, c.lcAll, c.lcMessages, c.lang};
        EXPECT_EQ(UsageLanguage(environment), c.tag)
            << c.language << "|" << c.lcAll << "|" << c.lcMessages << "|" << c.lang;
    }
}

TEST(OsReleaseTest, NameAndVersionOrPrettyName) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
         "VERSION_ID=\"12\"\nID=debian\n",
         "Debian GNU/Linux 12"},
        {"NAME=Fedora\r\nVERSION_ID=40\r\n", "Fedora 40"},
        {"NAME='Arch Linux'\nPRETTY_NAME=\"Arch Linux\"\nBUILD_ID=rolling\n", "Arch Linux"},
        {"NAME=\"Odd \\\"One\\\" \\$x\"\nVERSION_ID=1.0\n", "Odd \"One\" $x 1.0"},
        {"# comment\nNAME=OnlyName\n", "OnlyName"},
        {"NAME=\"unclosed\nVERSION_ID=3\nPRETTY_NAME=Fallback\n", "Fallback"},
        {"NAME=\nVERSION_ID=3\n", ""},
        {"", ""},
    };
    for (const auto& [content, version] : cases)
        EXPECT_EQ(OsVersionFromOsRelease(content), version) << content;
}

} // namespace
} // namespace App
