// The typed-path picker's reading of what was typed, against real files in
// a temporary home.
#include "widget/dialogs/typed_path_check.h"

#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace Velto::Widget::Kit {
namespace {

namespace fs = std::filesystem;

struct TypedPathTest : ::testing::Test {
    Corvane::Testing::TempHome temp;
    std::string home = temp.root + "/home";

    void SetUp() override {
        fs::create_directories(home + "/Pictures/Trip");
        std::ofstream(home + "/notes.txt") << "x";
    }
    static PickRequest Asking(PickRequest::Mode mode, bool folders = false) {
        PickRequest request;
        request.mode = mode;
        request.folders = folders;
        return request;
    }
};

TEST_F(TypedPathTest, TextsBecomeAbsolutePaths) {
    PickRequest request = Asking(PickRequest::Mode::Folder);
    struct Case {
        std::u16string typed;
        std::string path;
    };
    const Case cases[] = {
        {u"~", home},
        {u"~/Pictures/", home + "/Pictures"},
        {u"Pictures/./Trip/..", home + "/Pictures"}, // relative: from the home folder
        {u"/", "/"},
        {u"/tmp/../..", "/"},
        {u"~user", home + "/~user"}, // another user's home is not looked up
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveTypedPath(c.typed, request), c.path);
    // A starting folder takes the place of the home folder.
    request.initialFolder = home + "/Pictures";
    EXPECT_EQ(ResolveTypedPath(u"Trip", request), home + "/Pictures/Trip");
}

TEST_F(TypedPathTest, TheItemMustExistAsTheKindAskedFor) {
    struct Case {
        PickRequest request;
        std::u16string typed;
        TypedPathProblem problem;
    };
    const PickRequest folder = Asking(PickRequest::Mode::Folder);
    const PickRequest file = Asking(PickRequest::Mode::File);
    const PickRequest manyFolders = Asking(PickRequest::Mode::Many, true);
    const PickRequest manyFiles = Asking(PickRequest::Mode::Many, false);
    const Case cases[] = {
        {folder, u"~/Pictures", TypedPathProblem::None},
        {folder, u"~/notes.txt", TypedPathProblem::NotAFolder},
        {folder, u"~/Missing", TypedPathProblem::NotFound},
        {folder, u"~/notes.txt/inside", TypedPathProblem::NotFound},
        {folder, u"  ", TypedPathProblem::Empty},
        {file, u"", TypedPathProblem::Empty},
        {file, u"notes.txt", TypedPathProblem::None},
        {file, u"~/Pictures", TypedPathProblem::IsAFolder},
        {manyFolders, u"~/Pictures/Trip", TypedPathProblem::None},
        {manyFiles, u"~/Pictures/Trip", TypedPathProblem::IsAFolder},
    };
    for (const Case& c : cases) {
        const TypedPathCheck check = CheckTypedPath(c.typed, c.request);
        EXPECT_EQ(check.problem, c.problem) << std::string(c.typed.begin(), c.typed.end());
        EXPECT_EQ(TypedPathMessage(check, c.request, 0).empty(),
                  c.problem == TypedPathProblem::None);
    }
}

TEST_F(TypedPathTest, MessagesNameThePathInTheProgramsLanguages) {
    const PickRequest file = Asking(PickRequest::Mode::File);
    const TypedPathCheck check = CheckTypedPath(u"~/Pictures", file);
    EXPECT_EQ(TypedPathMessage(check, file, 0),
              u"\u201C" + fs::path(home + "/Pictures").u16string() +
                  u"\u201D is a folder. Type the path of a file.");
    EXPECT_EQ(TypedPathMessage(check, file, 1),
              u"\u201C" + fs::path(home + "/Pictures").u16string() +
                  u"\u201D은(는) 폴더입니다. 파일 경로를 입력하세요.");
    // Languages without texts of their own read English.
    EXPECT_EQ(TypedPathMessage(check, file, 3), TypedPathMessage(check, file, 0));
    EXPECT_EQ(TypedPathPrompt(Asking(PickRequest::Mode::Many, true), 1), u"폴더 경로");
}

} // namespace
} // namespace Velto::Widget::Kit
