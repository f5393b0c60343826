#include "widget/dialogs/dialog_tool_picker.h"

#include "base/utf.h"
#include "widget/dialogs/tool_process.h"

#include <cstdio>

namespace Velto::Widget::Kit {
namespace {

// zenity and kdialog both end a cancelled dialog with status 1.
constexpr int kToolCancelled = 1;
// Paths of a multiple choice come one per line. A name with a line feed in
// it splits into pieces that do not exist, which are then refused.
constexpr char kPathSeparator = '\n';

std::string Join(const std::vector<std::string>& parts, char separator) {
    std::string joined;
    for (const std::string& part : parts) {
        if (!joined.empty())
            joined.push_back(separator);
        joined += part;
    }
    return joined;
}

std::string WindowId(std::uint64_t window) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(window));
    return text;
}

std::string StartFolder(const PickRequest& request) {
    if (request.initialFolder.empty())
        return {};
    std::string folder = request.initialFolder;
    if (folder.back() != '/')
        folder.push_back('/');
    return folder;
}

std::vector<std::string> SplitPaths(const std::string& output) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find(kPathSeparator, start);
        if (end == std::string::npos)
            end = output.size();
        if (end > start)
            paths.push_back(output.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

PickOutcome Run(const char* tool, const std::vector<std::string>& args, bool many) {
    const std::optional<std::string> program = FindOnPath(tool);
    if (!program)
        return PickOutcome::Unavailable();
    const std::optional<ToolResult> result = RunTool(*program, args);
    if (!result)
        return PickOutcome::Unavailable();
    if (result->exitCode == kToolCancelled)
        return PickOutcome::Cancelled();
    if (result->exitCode != 0)
        return PickOutcome::Unavailable();
    if (many)
        return PickOutcome::Chosen(SplitPaths(result->output));
    // One choice is the whole output but its final line feed, whatever it
    // holds.
    std::string path = result->output;
    if (!path.empty() && path.back() == kPathSeparator)
        path.pop_back();
    if (path.empty())
        return PickOutcome::Chosen({});
    return PickOutcome::Chosen({std::move(path)});
}

} // namespace

std::vector<std::string> ZenityArguments(const PickRequest& request) {
    std::vector<std::string> args{"--file-selection"};
    if (!request.title.empty())
        args.push_back("--title=" + request.title);
    if (request.WantsFolders())
        args.push_back("--directory");
    if (request.WantsMany()) {
        args.push_back("--multiple");
        args.push_back(std::string("--separator=") + kPathSeparator);
    }
    if (const std::string folder = StartFolder(request); !folder.empty())
        args.push_back("--filename=" + folder);
    if (!request.WantsFolders()) {
        // The first filter is the one selected.
        for (const FileFilter& filter : request.filters) {
            const std::vector<std::string> patterns = FilterPatterns(filter);
            if (patterns.empty())
                continue;
            std::string name = Utf16ToUtf8(filter.description);
            // "|" ends the name in zenity's syntax.
            for (char& c : name) {
                if (c == '|')
                    c = '/';
            }
            args.push_back("--file-filter=" + name + " | " + Join(patterns, ' '));
        }
    }
    if (request.owner != 0) {
        args.push_back("--modal");
        args.push_back("--attach=" + WindowId(request.owner));
    }
    return args;
}

std::vector<std::string> KdialogArguments(const PickRequest& request) {
    std::vector<std::string> args;
    const std::string folder =
        request.initialFolder.empty() ? std::string(".") : StartFolder(request);
    if (request.WantsFolders()) {
        // kdialog picks one folder at a time, also for a multiple choice.
        args = {"--getexistingdirectory", folder};
    } else {
        args = {"--getopenfilename", folder};
        std::vector<std::string> lines;
        for (const FileFilter& filter : request.filters) {
            const std::vector<std::string> patterns = FilterPatterns(filter);
            if (!patterns.empty())
                lines.push_back(Join(patterns, ' ') + "|" + Utf16ToUtf8(filter.description));
        }
        if (!lines.empty())
            args.push_back(Join(lines, '\n'));
        if (request.WantsMany()) {
            args.push_back("--multiple");
            args.push_back("--separate-output");
        }
    }
    if (!request.title.empty()) {
        args.push_back("--title");
        args.push_back(request.title);
    }
    if (request.owner != 0) {
        args.push_back("--attach");
        args.push_back(WindowId(request.owner));
    }
    return args;
}

PickOutcome PickWithZenity(const PickRequest& request) {
    return Run("zenity", ZenityArguments(request), request.WantsMany());
}

PickOutcome PickWithKdialog(const PickRequest& request) {
    return Run("kdialog", KdialogArguments(request),
               request.WantsMany() && !request.WantsFolders());
}

} // namespace Velto::Widget::Kit
