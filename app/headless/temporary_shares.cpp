#include "app/headless/temporary_shares.h"

#include "base/ordinal_compare.h"
#include "base/system_random.h"
#include "base/utf.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace App {
namespace {

using Velto::Corvane::Share;

constexpr std::u16string_view kFallbackName = u"Share";
constexpr std::u16string_view kForbidden = u"\\/:*?\"<>|";
constexpr std::size_t kShareIdBytes = 8; // 16 hexadecimal characters
constexpr int kMaxIdAttempts = 16;

bool IsForbidden(char16_t unit) {
    return unit < 0x20 || unit == 0x7F || kForbidden.find(unit) != std::u16string_view::npos;
}

bool IsTrimmed(char16_t unit) {
    return unit == u' ' || unit == u'.';
}

void Trim(std::u16string& name) {
    while (!name.empty() && IsTrimmed(name.back()))
        name.pop_back();
    std::size_t first = 0;
    while (first < name.size() && IsTrimmed(name[first]))
        ++first;
    name.erase(0, first);
}

// Cuts to `units` code units without leaving half of a surrogate pair.
void CutTo(std::u16string& name, std::size_t units) {
    if (name.size() <= units)
        return;
    name.resize(units);
    if (!name.empty() && name.back() >= 0xD800 && name.back() <= 0xDBFF)
        name.pop_back();
}

bool IsTaken(std::u16string_view name, const std::vector<std::u16string>& taken) {
    for (const auto& other : taken) {
        if (Velto::EqualsIgnoreCase(name, other))
            return true;
    }
    return false;
}

struct FreeDeleter {
    void operator()(char* text) const { std::free(text); }
};

} // namespace

std::u16string ShareNameForPath(std::u16string_view path) {
    while (!path.empty() && path.back() == u'/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind(u'/');
    std::u16string name{slash == std::u16string_view::npos ? path : path.substr(slash + 1)};
    for (char16_t& unit : name) {
        if (IsForbidden(unit))
            unit = u'_';
    }
    Trim(name);
    CutTo(name, kMaxShareNameUnits);
    Trim(name);
    if (!Velto::Corvane::IsValidShareName(name))
        return std::u16string{kFallbackName};
    return name;
}

std::u16string UniqueShareName(const std::u16string& name,
                               const std::vector<std::u16string>& taken) {
    if (!IsTaken(name, taken))
        return name;
    for (std::size_t number = 2;; ++number) {
        const std::u16string suffix = Velto::Utf8ToUtf16(" (" + std::to_string(number) + ")");
        std::u16string candidate = name;
        CutTo(candidate, kMaxShareNameUnits - suffix.size());
        Trim(candidate);
        candidate += suffix;
        if (!IsTaken(candidate, taken))
            return candidate;
    }
}

TemporarySharesResult MakeTemporaryShares(const std::vector<std::string>& paths,
                                          const std::vector<Share>& existing) {
    TemporarySharesResult result;
    std::vector<std::u16string> takenNames;
    std::vector<std::string> takenIds;
    for (const Share& share : existing) {
        takenNames.push_back(share.name);
        takenIds.push_back(share.id);
    }

    for (const std::string& given : paths) {
        const std::unique_ptr<char, FreeDeleter> resolved{::realpath(given.c_str(), nullptr)};
        if (!resolved) {
            result.error = "cannot share \"" + given + "\": it does not exist or cannot be reached";
            return result;
        }
        const std::string absolute{resolved.get()};
        struct stat info {};
        if (::stat(absolute.c_str(), &info) != 0 ||
            (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode))) {
            result.error = "cannot share \"" + given + "\": it is neither a folder nor a file";
            return result;
        }
        std::u16string path16;
        if (!Velto::Utf8ToUtf16Strict(absolute, path16)) {
            result.error = "cannot share \"" + given + "\": its path is not valid UTF-8";
            return result;
        }

        Share share;
        for (int attempt = 0; attempt < kMaxIdAttempts && share.id.empty(); ++attempt) {
            std::string id = Velto::RandomHex(kShareIdBytes);
            if (!id.empty() && std::find(takenIds.begin(), takenIds.end(), id) == takenIds.end())
                share.id = std::move(id);
        }
        if (share.id.empty()) {
            result.error = "cannot share \"" + given + "\": no random share id available";
            return result;
        }
        share.name = UniqueShareName(ShareNameForPath(path16), takenNames);
        share.path = std::move(path16);
        share.file = S_ISREG(info.st_mode);
        share.readOnly = true;
        share.guest = Velto::Corvane::AccessFlags::Read;
        takenNames.push_back(share.name);
        takenIds.push_back(share.id);
        result.shares.push_back(std::move(share));
    }
    return result;
}

} // namespace App
