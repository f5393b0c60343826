#include "widget/desktop/file_icon.h"

#include "base/ascii_case.h"
#include "base/environment_variable.h"
#include "widget/desktop/desktop_icon_theme_name.h"
#include "widget/desktop/icon_image_loader.h"
#include "widget/desktop/icon_theme.h"
#include "widget/desktop/mime_globs.h"

#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Velto::Widget::Kit {
namespace {

constexpr int kMaxIconPixels = 512;
constexpr std::string_view kFolderKey = "<folder>";
constexpr std::string_view kDefaultDataDirs = "/usr/local/share:/usr/share";
// Shown when a kind has no icon of its own or of its family.
constexpr const char* kGenericFileIcon = "application-x-generic";
constexpr const char* kUnknownIcon = "unknown";

// The icons of the process. One mutex guards all of it: the icon map, and
// the theme and kind lists read on first use.
struct IconCache {
    std::mutex mutex;
    std::unordered_map<std::string, std::shared_ptr<const Bitmap>> icons;
    std::optional<MimeGlobs> globs;
    std::unique_ptr<IconTheme> theme;
};

IconCache& Cache() {
    static IconCache cache;
    return cache;
}

std::vector<std::string> SplitPath(std::string_view text) {
    std::vector<std::string> folders;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(':', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view folder = text.substr(start, end - start);
        if (!folder.empty() && folder.front() == '/')
            folders.emplace_back(folder);
        start = end + 1;
    }
    return folders;
}

// The data folders, most important first: XDG_DATA_HOME, then XDG_DATA_DIRS.
std::vector<std::string> DataFolders() {
    std::vector<std::string> folders;
    std::string home = EnvironmentVariable("XDG_DATA_HOME");
    if (home.empty() || home.front() != '/') {
        const std::string user = EnvironmentVariable("HOME");
        home = user.empty() ? std::string() : user + "/.local/share";
    }
    if (!home.empty())
        folders.push_back(home);
    std::string dirs = EnvironmentVariable("XDG_DATA_DIRS");
    for (std::string& folder : SplitPath(dirs.empty() ? kDefaultDataDirs : dirs))
        folders.push_back(std::move(folder));
    return folders;
}

// Called with the cache's mutex held.
void EnsureLoaded(IconCache& cache) {
    if (cache.theme)
        return;
    const std::vector<std::string> data = DataFolders();
    cache.globs = MimeGlobs::Load(data);
    std::vector<std::string> iconFolders;
    if (const std::string home = EnvironmentVariable("HOME"); !home.empty())
        iconFolders.push_back(home + "/.icons");
    for (const std::string& folder : data)
        iconFolders.push_back(folder + "/icons");
    cache.theme = std::make_unique<IconTheme>(DesktopIconThemeName(), std::move(iconFolders),
                                              CanDrawSvgIcons());
}

std::vector<std::string> IconNamesForType(const MimeGlobs& globs, const std::string& type) {
    std::vector<std::string> names;
    const std::size_t slash = type.find('/');
    if (slash != std::string::npos) {
        std::string specific = type;
        specific[slash] = '-';
        names.push_back(std::move(specific));
        if (std::string generic = globs.GenericIcon(type); !generic.empty())
            names.push_back(std::move(generic));
        names.push_back(type.substr(0, slash) + "-x-generic");
    }
    names.emplace_back(kGenericFileIcon);
    names.emplace_back(kUnknownIcon);
    return names;
}

using IconNames = std::function<std::vector<std::string>(const MimeGlobs&)>;

std::shared_ptr<const Bitmap> Lookup(const std::string& key, int pixelSize,
                                     const IconNames& names) {
    if (pixelSize <= 0 || pixelSize > kMaxIconPixels)
        return nullptr;
    IconCache& cache = Cache();
    const std::lock_guard lock(cache.mutex);
    const std::string cacheKey = key + "|" + std::to_string(pixelSize);
    if (const auto found = cache.icons.find(cacheKey); found != cache.icons.end())
        return found->second;
    EnsureLoaded(cache);
    std::shared_ptr<const Bitmap> icon;
    if (const std::optional<std::string> file = cache.theme->Find(names(*cache.globs), pixelSize))
        icon = LoadIconImage(*file, pixelSize);
    // Kept also when empty, so a kind is looked for only once.
    cache.icons.emplace(cacheKey, icon);
    return icon;
}

} // namespace

std::string FileTypeText(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find('.');
    return AsciiLowerCopy(dot == std::string_view::npos ? "." + std::string(name)
                                                      : std::string(name.substr(dot)));
}

std::shared_ptr<const Bitmap> FileIcon(std::string_view path, int pixelSize) {
    const std::string typeText = FileTypeText(path);
    return Lookup(typeText, pixelSize, [&](const MimeGlobs& globs) {
        // The kind of a name made of the type text ("x.tar.gz" for
        // ".tar.gz"); a name that had no dot ("Makefile") may be known as a
        // whole.
        std::string type = globs.TypeOf("x" + typeText);
        if (type.empty() && typeText.find('.', 1) == std::string::npos)
            type = globs.TypeOf(std::string_view(typeText).substr(1));
        return IconNamesForType(globs, type);
    });
}

std::shared_ptr<const Bitmap> FolderIcon(int pixelSize) {
    return Lookup(std::string(kFolderKey), pixelSize, [](const MimeGlobs&) {
        return std::vector<std::string>{"folder", "inode-directory"};
    });
}

} // namespace Velto::Widget::Kit
