#include "base/hex.h"
#include "base/system_random.h"
#include "config/data_folders.h"
#include "config/password_hash.h"
#include "config/secret_protection.h"
#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace Velto::Corvane {
namespace {

namespace fs = std::filesystem;
using Testing::TempHome;

constexpr std::uint32_t kFastIterations = 1000;

TEST(HexTest, EncodesAndDecodes) {
    EXPECT_EQ(HexEncode(std::string("\x00\x01\xAB\xff", 4)), "0001abff");
    EXPECT_EQ(HexEncode(""), "");
    EXPECT_EQ(HexDecode("0001abFF"), std::string("\x00\x01\xAB\xff", 4));
    EXPECT_EQ(HexDecode(""), std::string());
    for (const char* bad : {"0", "abc", "0g", "g0", " 00", "0x00", "-1"})
        EXPECT_FALSE(HexDecode(bad).has_value()) << bad;
}

TEST(RandomHexTest, GivesFreshLowerCaseHex) {
    const std::string a = RandomHex(8);
    EXPECT_TRUE(std::regex_match(a, std::regex("[0-9a-f]{16}"))) << a;
    EXPECT_NE(RandomHex(8), a);
    EXPECT_EQ(RandomHex(32).size(), 64u);
    EXPECT_EQ(RandomHex(0), "");
}

TEST(PasswordHashTest, HashesVerifyAndDiffer) {
    const std::string hash = HashPassword("correct horse", kPasswordIterations);
    EXPECT_TRUE(
        std::regex_match(hash, std::regex(R"(pbkdf2-sha256\$600000\$[0-9a-f]{32}\$[0-9a-f]{64})")))
        << hash;
    EXPECT_TRUE(VerifyPassword(hash, "correct horse"));
    EXPECT_FALSE(VerifyPassword(hash, "correct horsf"));
    EXPECT_FALSE(VerifyPassword(hash, ""));

    const std::string again = HashPassword("correct horse", kFastIterations);
    const std::string twice = HashPassword("correct horse", kFastIterations);
    EXPECT_NE(again, twice); // fresh salt each time
    EXPECT_TRUE(VerifyPassword(again, "correct horse"));
    EXPECT_TRUE(VerifyPassword(twice, "correct horse"));
    EXPECT_TRUE(VerifyPassword(HashPassword("", kFastIterations), ""));
    EXPECT_TRUE(VerifyPassword(HashPassword("비밀번호", kFastIterations), "비밀번호"));

    EXPECT_EQ(HashPassword("x", 0), "");
    // A count that verification would refuse is never stored.
    EXPECT_EQ(HashPassword("x", kMaxPasswordIterations + 1), "");
}

TEST(PasswordHashTest, VerifiesKnownDerivation) {
    // PBKDF2-HMAC-SHA256("password", "salt", 4096, 32), computed independently.
    const std::string key = "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a";
    EXPECT_TRUE(VerifyPassword("pbkdf2-sha256$4096$73616c74$" + key, "password"));
    std::string upper = key;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(VerifyPassword("pbkdf2-sha256$4096$73616C74$" + upper, "password"));
    EXPECT_FALSE(VerifyPassword("pbkdf2-sha256$4095$73616c74$" + key, "password"));
    EXPECT_FALSE(VerifyPassword("pbkdf2-sha256$4096$73616c75$" + key, "password"));
}

TEST(PasswordHashTest, RefusesMalformedHashTexts) {
    const std::string salt = "00112233445566778899aabbccddeeff";
    const std::string key(64, 'a');
    const std::string refused[] = {
        "PBKDF2-SHA256$1000$" + salt + "$" + key,
        "pbkdf2-sha512$1000$" + salt + "$" + key,
        "pbkdf2-sha256$0$" + salt + "$" + key,
        "pbkdf2-sha256$10000001$" + salt + "$" + key,
        "pbkdf2-sha256$4294967296$" + salt + "$" + key,
        "pbkdf2-sha256$+1000$" + salt + "$" + key,
        "pbkdf2-sha256$-1000$" + salt + "$" + key,
        "pbkdf2-sha256$ 1000$" + salt + "$" + key,
        "pbkdf2-sha256$1000 $" + salt + "$" + key,
        "pbkdf2-sha256$$" + salt + "$" + key,
        "pbkdf2-sha256$1000$$" + key,
        "pbkdf2-sha256$1000$" + salt.substr(1) + "$" + key,
        "pbkdf2-sha256$1000$" + salt + "$" + key.substr(2),
        "pbkdf2-sha256$1000$" + salt + "$" + key + "aa",
        "pbkdf2-sha256$1000$" + salt + "$" + key + "$",
        "pbkdf2-sha256$1000$" + salt,
        "pbkdf2-sha256$1000$zz" + salt.substr(2) + "$" + key,
        "",
        "$$$",
    };
    for (const auto& hash : refused)
        EXPECT_FALSE(VerifyPassword(hash, "x")) << hash;
}

class SecretProtectionTest : public ::testing::Test {
protected:
    TempHome home;
};

TEST_F(SecretProtectionTest, RoundTripsUnderAPrivateKeyFile) {
    const std::string keyFile = SecretKeyFilePath();
    EXPECT_EQ(keyFile, home.root + "/data/VeltoCorvane/secret.key");
    EXPECT_FALSE(fs::exists(keyFile));

    const std::string secret("pfx pass\0\xFF word", 16);
    const auto text = ProtectSecret(secret);
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(std::regex_match(*text, std::regex("[0-9a-f]+")));
    EXPECT_EQ(UnprotectSecret(*text), secret);
    EXPECT_NE(ProtectSecret(secret), text); // fresh nonce
    const auto empty = ProtectSecret("");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(UnprotectSecret(*empty), std::string());

    struct stat st {};
    ASSERT_EQ(::stat(keyFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 32);
    ASSERT_EQ(::stat(fs::path(keyFile).parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(keyFile).parent_path()),
                            fs::directory_iterator()),
              1); // no temporary file left

    // The data folder never holds the key.
    home.Set("VELTO_CORVANE_DATA_DIR", home.root + "/portable");
    EXPECT_EQ(SecretKeyFilePath(), keyFile);
    EXPECT_EQ(UnprotectSecret(*text), secret);
}

TEST_F(SecretProtectionTest, RefusesDamagedForeignOrMalformedTexts) {
    const auto text = ProtectSecret("secret");
    ASSERT_TRUE(text.has_value());
    const std::string keyFile = SecretKeyFilePath();

    std::string flipped = *text;
    flipped[flipped.size() / 2] = flipped[flipped.size() / 2] == '0' ? '1' : '0';
    std::string badMagic = *text;
    badMagic[0] = badMagic[0] == '0' ? '1' : '0';
    for (const std::string& bad :
         {flipped, badMagic, text->substr(0, text->size() - 2), text->substr(1), *text + "g",
          std::string("0g"), std::string(), std::string("56435350")})
        EXPECT_FALSE(UnprotectSecret(bad).has_value()) << bad;

    // Another user's key (another key file) cannot open it.
    home.Set("XDG_DATA_HOME", home.root + "/other");
    EXPECT_FALSE(UnprotectSecret(*text).has_value());
    EXPECT_FALSE(fs::exists(SecretKeyFilePath())); // unprotecting never makes a key
    ASSERT_TRUE(ProtectSecret("other").has_value());
    EXPECT_FALSE(UnprotectSecret(*text).has_value());

    // A damaged key file is neither used nor replaced.
    { std::ofstream(keyFile, std::ios::binary | std::ios::trunc) << "short"; }
    home.Set("XDG_DATA_HOME", home.root + "/data");
    EXPECT_FALSE(ProtectSecret("x").has_value());
    EXPECT_FALSE(UnprotectSecret(*text).has_value());
    EXPECT_EQ(fs::file_size(keyFile), 5u);
}

TEST(DataFoldersTest, FollowsTheEnvironment) {
    TempHome home;
    const std::string& r = home.root;
    EXPECT_EQ(ConfigFilePath(), r + "/config/VeltoCorvane/config.json");
    EXPECT_EQ(LogsFolderPath(), r + "/state/VeltoCorvane/logs");
    EXPECT_EQ(SecretKeyFilePath(), r + "/data/VeltoCorvane/secret.key");

    // Unset or relative XDG folders fall back to their place under HOME.
    home.Unset("XDG_CONFIG_HOME");
    home.Set("XDG_STATE_HOME", "relative/state");
    home.Set("XDG_DATA_HOME", "");
    EXPECT_EQ(ConfigFilePath(), r + "/home/.config/VeltoCorvane/config.json");
    EXPECT_EQ(LogsFolderPath(), r + "/home/.local/state/VeltoCorvane/logs");
    EXPECT_EQ(SecretKeyFilePath(), r + "/home/.local/share/VeltoCorvane/secret.key");

    home.Set("VELTO_CORVANE_DATA_DIR", r + "/portable/");
    EXPECT_EQ(DataFolderOverride(), r + "/portable");
    EXPECT_EQ(ConfigFilePath(), r + "/portable/config.json");
    EXPECT_EQ(LogsFolderPath(), r + "/portable/logs");
    EXPECT_EQ(SecretKeyFilePath(), r + "/home/.local/share/VeltoCorvane/secret.key");

    // An over-long value counts as unset.
    home.Set("VELTO_CORVANE_DATA_DIR", "/" + std::string(1023, 'x'));
    EXPECT_EQ(DataFolderOverride(), "");
    EXPECT_EQ(ConfigFilePath(), r + "/home/.config/VeltoCorvane/config.json");
    home.Set("VELTO_CORVANE_DATA_DIR", "/" + std::string(1022, 'x'));
    EXPECT_EQ(ConfigFilePath(), "/" + std::string(1022, 'x') + "/config.json");
}

} // namespace
} // namespace Velto::Corvane
