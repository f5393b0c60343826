#include "widget/dialogs/pickers.h"

#include "base/utf.h"
#include "widget/dialogs/dialog_tool_picker.h"
#include "widget/dialogs/portal_file_chooser.h"
#include "widget/dialogs/typed_path_picker.h"

#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <thread>

namespace Velto::Widget::Kit {
namespace {

// The ways of asking, in order of preference.
using PickerWay = PickOutcome (*)(const PickRequest&);
constexpr PickerWay kPickerWays[] = {PickWithPortal, PickWithZenity, PickWithKdialog,
                                     PickWithTypedPath};

std::vector<std::string> Ask(const PickRequest& request) {
    for (const PickerWay way : kPickerWays) {
        const PickOutcome outcome = way(request);
        if (outcome.kind == PickOutcome::Kind::Unavailable)
            continue;
        if (outcome.kind == PickOutcome::Kind::Cancelled)
            return {};
        return AcceptedPaths(request, outcome.paths);
    }
    return {};
}

// Asks on a thread of its own while the owner's UI loop keeps running, or
// right here when there is no loop to keep.
std::vector<std::string> AskFor(const PickerOwner& owner, const PickRequest& request) {
    if (!owner.runUntil)
        return Ask(request);
    struct Answer {
        std::atomic<bool> done{false};
        std::vector<std::string> paths;
    };
    auto answer = std::make_shared<Answer>();
    std::thread asking([answer, request] {
        answer->paths = Ask(request);
        answer->done.store(true);
    });
    owner.runUntil([&] { return answer->done.load(); });
    asking.join();
    return std::move(answer->paths);
}

PickRequest Request(PickRequest::Mode mode, const PickerOwner& owner, std::u16string_view title) {
    PickRequest request;
    request.mode = mode;
    request.owner = owner.x11Window;
    request.title = Utf16ToUtf8(title);
    return request;
}

} // namespace

std::vector<std::string> AcceptedPaths(const PickRequest& request,
                                       const std::vector<std::string>& paths) {
    std::vector<std::string> accepted;
    for (const std::string& path : paths) {
        struct stat st {};
        // Only absolute paths that exist as the request needs.
        if (path.empty() || path.front() != '/' || ::stat(path.c_str(), &st) != 0)
            continue;
        if (request.WantsFolders() ? !S_ISDIR(st.st_mode) : S_ISDIR(st.st_mode))
            continue;
        accepted.push_back(path);
        if (!request.WantsMany())
            break;
    }
    return accepted;
}

std::optional<std::string> PickFolder(const PickerOwner& owner, std::u16string_view title,
                                      std::string_view initialFolder) {
    PickRequest request = Request(PickRequest::Mode::Folder, owner, title);
    // A starting folder that is not a folder is left out, as one that
    // cannot be parsed would be.
    struct stat st {};
    const std::string initial(initialFolder);
    if (!initial.empty() && initial.front() == '/' && ::stat(initial.c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode))
        request.initialFolder = initial;
    std::vector<std::string> paths = AskFor(owner, request);
    if (paths.empty())
        return std::nullopt;
    return std::move(paths.front());
}

std::optional<std::string> PickFile(const PickerOwner& owner, std::u16string_view title,
                                    std::span<const FileFilter> filters) {
    PickRequest request = Request(PickRequest::Mode::File, owner, title);
    request.filters.assign(filters.begin(), filters.end());
    std::vector<std::string> paths = AskFor(owner, request);
    if (paths.empty())
        return std::nullopt;
    return std::move(paths.front());
}

std::vector<std::string> PickMany(const PickerOwner& owner, std::u16string_view title,
                                  bool folders) {
    PickRequest request = Request(PickRequest::Mode::Many, owner, title);
    request.folders = folders;
    return AskFor(owner, request);
}

} // namespace Velto::Widget::Kit
