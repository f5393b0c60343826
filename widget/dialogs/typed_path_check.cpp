#include "widget/dialogs/typed_path_check.h"

#include "base/environment_variable.h"
#include "base/utf.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

namespace Velto::Widget::Kit {
namespace {

// Label-language index of Korean; every other language reads English.
constexpr std::size_t kKorean = 1;

std::u16string Quoted(const std::string& path) {
    return u"\u201C" + Utf8ToUtf16(path) + u"\u201D";
}

} // namespace

std::string ResolveTypedPath(std::u16string_view typed, const PickRequest& request) {
    std::string text = Utf16ToUtf8(typed);
    const std::string home = EnvironmentVariable("HOME");
    if (!home.empty() && (text == "~" || text.starts_with("~/")))
        text = home + text.substr(1);
    std::filesystem::path path(text);
    if (path.is_relative()) {
        const std::string& base = request.initialFolder.empty() ? home : request.initialFolder;
        path = std::filesystem::path(base.empty() ? "/" : base) / path;
    }
    std::string resolved = path.lexically_normal().string();
    // "/a/b/" names the folder "/a/b"; the root stays "/".
    while (resolved.size() > 1 && resolved.back() == '/')
        resolved.pop_back();
    return resolved;
}

TypedPathCheck CheckTypedPath(std::u16string_view typed, const PickRequest& request) {
    TypedPathCheck check;
    if (typed.find_first_not_of(u" \t") == std::u16string_view::npos) {
        check.problem = TypedPathProblem::Empty;
        return check;
    }
    check.path = ResolveTypedPath(typed, request);
    struct stat st {};
    if (::stat(check.path.c_str(), &st) != 0) {
        check.problem = (errno == EACCES || errno == EPERM) ? TypedPathProblem::NoAccess
                                                            : TypedPathProblem::NotFound;
        return check;
    }
    const bool folder = S_ISDIR(st.st_mode);
    if (request.WantsFolders() && !folder)
        check.problem = TypedPathProblem::NotAFolder;
    else if (!request.WantsFolders() && folder)
        check.problem = TypedPathProblem::IsAFolder;
    return check;
}

std::u16string TypedPathPrompt(const PickRequest& request, std::size_t language) {
    const bool korean = language == kKorean;
    if (request.WantsFolders())
        return korean ? u"폴더 경로" : u"Folder path";
    return korean ? u"파일 경로" : u"File path";
}

std::u16string TypedPathMessage(const TypedPathCheck& check, const PickRequest& request,
                                std::size_t language) {
    const bool korean = language == kKorean;
    const bool folders = request.WantsFolders();
    switch (check.problem) {
    case TypedPathProblem::None:
        return {};
    case TypedPathProblem::Empty:
        if (folders)
            return korean ? u"폴더 경로를 입력하세요." : u"Type the path of a folder.";
        return korean ? u"파일 경로를 입력하세요." : u"Type the path of a file.";
    case TypedPathProblem::NotFound:
        return korean ? Quoted(check.path) + u" 경로가 없습니다."
                      : u"There is nothing at " + Quoted(check.path) + u".";
    case TypedPathProblem::NotAFolder:
        return korean ? Quoted(check.path) + u"은(는) 폴더가 아니라 파일입니다."
                      : Quoted(check.path) + u" is a file, not a folder.";
    case TypedPathProblem::IsAFolder:
        return korean ? Quoted(check.path) + u"은(는) 폴더입니다. 파일 경로를 입력하세요."
                      : Quoted(check.path) + u" is a folder. Type the path of a file.";
    case TypedPathProblem::NoAccess:
        return korean ? Quoted(check.path) + u"을(를) 열 권한이 없습니다."
                      : u"You do not have permission to open " + Quoted(check.path) + u".";
    }
    return {};
}

} // namespace Velto::Widget::Kit
