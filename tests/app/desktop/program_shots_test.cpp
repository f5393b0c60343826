// The screenshot mode of the real program: with no X server, no Wayland and
// no session bus at all, it renders every page in Korean and English, light
// and dark, at the sizes asked for, and every dialog it opens, then exits 0;
// a folder it cannot write to gives exit code 2 and the failures in the trace.
#include "tests/app/desktop/program_test_home.h"
#include "tests/support/service_fixture.h"

#include <gtest/gtest.h>

#include <map>

#include <array>
#include <cstdint>
#include <fstream>
#include <optional>
#include <set>

namespace App::Testing {
namespace {

struct PngSize {
    std::uint32_t width{0};
    std::uint32_t height{0};
};

// The size from the PNG signature and header chunk; none for anything else.
std::optional<PngSize> ReadPngSize(const std::filesystem::path& path) {
    std::ifstream in{path, std::ios::binary};
    std::array<unsigned char, 24> head{};
    if (!in.read(reinterpret_cast<char*>(head.data()), head.size()))
        return std::nullopt;
    constexpr std::array<unsigned char, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!std::equal(kSignature.begin(), kSignature.end(), head.begin()) ||
        std::string(head.begin() + 12, head.begin() + 16) != "IHDR")
        return std::nullopt;
    const auto word = [&](std::size_t at) {
        return std::uint32_t{head[at]} << 24 | std::uint32_t{head[at + 1]} << 16 |
               std::uint32_t{head[at + 2]} << 8 | std::uint32_t{head[at + 3]};
    };
    return PngSize{word(16), word(20)};
}

// The pages and their sizes at 100 %, in DIPs.
struct Page {
    std::string name;
    std::uint32_t width;
    std::uint32_t height;
};
const std::vector<Page> kPages = {
    {"1-home", 940, 680},      {"2-accounts", 940, 680},      {"3-log", 940, 680},
    {"4-settings", 940, 1100}, {"1-home-internet", 940, 680}, {"1-home-narrow", 640, 680},
    {"1-home-off", 940, 680},  {"5-links", 940, 680},
};
// The link, new-link and QR dialogs in each language, light and dark.
constexpr std::size_t kDialogPictures = 20;

class ProgramShotsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(home.root / "files/Pictures");
        std::ofstream{home.root / "files/notes.txt"} << "notes";
        shots = home.root / "shots";
        std::filesystem::create_directories(shots);
        port = Velto::Corvane::Testing::FreeLoopbackPort();
        home.WriteConfig(R"({"server": {"upnp": false, "port": )" + std::to_string(port) +
                         R"(, "language": "en"},
            "shares": [
              {"id": "0123456789abcdef", "name": "Pictures", "path": ")" +
                         (home.root / "files/Pictures").string() + R"(", "guest": ["read"]},
              {"id": "fedcba9876543210", "name": "notes.txt", "path": ")" +
                         (home.root / "files/notes.txt").string() + R"(", "guest": ["read"],
               "readOnly": true, "file": true}],
            "accounts": [{"name": "alice", "password": "",
                          "access": {"0123456789abcdef": ["read", "write"]}}],
            "links": [{"id": "00112233aabbccdd", "token": "abcdefghijklmnopqrstuQ",
                       "share": "0123456789abcdef", "path": "", "mode": "view",
                       "created": 1700000000, "expires": 0, "password": "",
                       "label": "Grandma", "creator": "", "uses": 3}]})");
    }

    // Everything that could reach a display or a bus is left out.
    std::map<std::string, std::string> ShotEnvironment(const std::string& folder) const {
        return home.Environment({{"VELTO_CORVANE_SHOTS", folder}});
    }

    ProgramHome home{"shots"};
    std::filesystem::path shots;
    std::uint16_t port{0};
};

TEST_F(ProgramShotsTest, EveryPageAndDialogInBothLanguagesWithoutADisplay) {
    ProgramRun program({}, ShotEnvironment(shots.string()), home.root.string());
    ASSERT_EQ(program.Wait(), 0) << program.Errors() << home.Trace();
    EXPECT_EQ(home.CountTrace("shots failures=0"), 1u) << home.Trace();
    // The server ran for the captures and was started again after the
    // stopped one.
    EXPECT_EQ(home.CountTrace("server started port=" + std::to_string(port)), 1u);
    EXPECT_EQ(home.CountTrace("started window=0"), 1u);

    std::set<std::string> expected;
    for (const Page& page : kPages) {
        for (const char* language : {"ko", "en"}) {
            for (const char* theme : {"light", "dark"}) {
                const std::string name = page.name + "-" + language + "-" + theme + ".png";
                SCOPED_TRACE(name);
                expected.insert(name);
                const std::optional<PngSize> size = ReadPngSize(shots / name);
                ASSERT_TRUE(size.has_value());
                EXPECT_EQ(size->width, page.width);
                EXPECT_EQ(size->height, page.height);
            }
        }
    }

    // Each language opens the new-share, folder-share, file-share, account,
    // new-link and link dialogs; every one is traced as saved and written.
    std::vector<std::string> saved;
    for (const std::string& line : home.TraceLines()) {
        if (line.rfind("dialog ", 0) == 0) {
            ASSERT_TRUE(line.ends_with(" saved")) << line;
            saved.push_back(line.substr(7, line.size() - 7 - 6));
        }
    }
    EXPECT_EQ(saved.size(), kDialogPictures) << home.Trace();
    const std::set<std::string> themed = {"QR code", "QR 코드",        "New link",
                                          "새 링크", "Link “Grandma”", "‘Grandma’ 링크"};
    std::map<std::string, int> seen;
    for (const std::string& title : saved) {
        const int taken = seen[title]++;
        std::string file = "dialog-" + title +
                           (themed.count(title) ? (taken == 0 ? "-light" : "-dark") : "") + ".png";
        std::replace(file.begin(), file.end(), ' ', '_');
        expected.insert(file);
        const std::optional<PngSize> size = ReadPngSize(shots / file);
        ASSERT_TRUE(size.has_value()) << file;
        EXPECT_GT(size->width, 300u);
        EXPECT_GT(size->height, 100u);
    }
    // Titles in both languages: at least one Korean and one English one.
    const auto korean = std::count_if(saved.begin(), saved.end(), [](const std::string& t) {
        return static_cast<unsigned char>(t[0]) >= 0x80;
    });
    EXPECT_GE(korean, 1);
    EXPECT_LT(static_cast<std::size_t>(korean), saved.size());

    // Nothing else was written.
    for (const auto& entry : std::filesystem::directory_iterator(shots))
        EXPECT_TRUE(expected.count(entry.path().filename().string())) << entry.path();
}

// At 200 % every picture has the same name and twice the pixels each way
// (dialogs follow their content's height); a scale the mode cannot render is refused before
// anything is written.
TEST_F(ProgramShotsTest, TwoHundredPercentDoublesEveryPicture) {
    const std::filesystem::path single = home.root / "single";
    std::filesystem::create_directories(single);
    ProgramRun once({}, ShotEnvironment(single.string()), home.root.string());
    ASSERT_EQ(once.Wait(), 0) << once.Errors() << home.Trace();

    std::map<std::string, std::string> environment = ShotEnvironment(shots.string());
    environment["VELTO_CORVANE_SHOTS_SCALE"] = "2";
    ProgramRun twice({}, environment, home.root.string());
    ASSERT_EQ(twice.Wait(), 0) << twice.Errors() << home.Trace();

    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(single)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        names.insert(name);
        const std::optional<PngSize> normal = ReadPngSize(entry.path());
        const std::optional<PngSize> doubled = ReadPngSize(shots / name);
        ASSERT_TRUE(normal.has_value());
        ASSERT_TRUE(doubled.has_value());
        EXPECT_EQ(doubled->width, 2 * normal->width);
        // A dialog is as tall as its content, whose text lines are measured
        // at the font's pixel size: a pixel or two either way.
        if (name.starts_with("dialog-"))
            EXPECT_NEAR(doubled->height, 2.0 * normal->height, 4.0);
        else
            EXPECT_EQ(doubled->height, 2 * normal->height);
    }
    EXPECT_EQ(names.size(), 4 * kPages.size() + kDialogPictures);
    for (const auto& entry : std::filesystem::directory_iterator(shots))
        EXPECT_TRUE(names.count(entry.path().filename().string())) << entry.path();

    for (const char* wrong : {"0.5", "5", "200%", "x"}) {
        SCOPED_TRACE(wrong);
        const std::filesystem::path refused = home.root / "refused";
        std::filesystem::create_directories(refused);
        environment = ShotEnvironment(refused.string());
        environment["VELTO_CORVANE_SHOTS_SCALE"] = wrong;
        ProgramRun program({}, environment, home.root.string());
        EXPECT_EQ(program.Wait(), 1);
        EXPECT_NE(program.Errors().find("VELTO_CORVANE_SHOTS_SCALE"), std::string::npos);
        EXPECT_TRUE(std::filesystem::is_empty(refused));
    }
}

TEST_F(ProgramShotsTest, AFolderThatCannotBeWrittenFailsWithExitCodeTwo) {
    const std::string missing = (home.root / "no-such-folder").string();
    ProgramRun program({}, ShotEnvironment(missing), home.root.string());
    EXPECT_EQ(program.Wait(), 2) << program.Errors() << home.Trace();
    EXPECT_TRUE(home.HasTracePrefix("shots failures=")) << home.Trace();
    EXPECT_EQ(home.CountTrace("shots failures=0"), 0u);
    EXPECT_GE(home.CountTrace("dialog Add shared folder failed"), 1u) << home.Trace();
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(ProgramShotsTest, AnUnreadableSettingsFileIsAnnouncedInADialog) {
    home.WriteConfig("{ not json");
    ProgramRun program({}, ShotEnvironment(shots.string()), home.root.string());
    ASSERT_EQ(program.Wait(), 0) << program.Errors() << home.Trace();
    // The defaults apply (the system's language, English here), and the
    // notice comes once the window exists, titled with the program's name.
    ASSERT_GE(home.TraceLines().size(), 2u);
    EXPECT_EQ(home.CountTrace("dialog VeltoCorvane saved"), 1u) << home.Trace();
    EXPECT_TRUE(ReadPngSize(shots / "dialog-VeltoCorvane.png").has_value());
    // The file is left as it was.
    std::ifstream in{home.Data() / "config.json"};
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>{in}, {}), "{ not json");
}

} // namespace
} // namespace App::Testing
