#include "widget/dialogs/portal_file_chooser.h"

#include "base/utf.h"
#include "widget/desktop/file_uri.h"
#include "widget/desktop/sd_bus_handles.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Velto::Widget::Kit {
namespace {

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kFileChooser = "org.freedesktop.portal.FileChooser";
constexpr const char* kRequest = "org.freedesktop.portal.Request";
// A portal that is activated on first use may take a moment to start.
constexpr std::uint64_t kOpenCallUsec = 15'000'000;
constexpr std::uint32_t kGlobPattern = 0;
constexpr std::uint32_t kResponseSuccess = 0;

// Numbers this process's requests, for their handle tokens.
std::atomic<unsigned> g_requestCounter{0};

struct Waiting {
    std::string handle;
    bool done{false};
    bool portalGone{false};
    std::uint32_t response{2};
    std::vector<std::string> uris;
};

int OnResponse(sd_bus_message* signal, void* userdata, sd_bus_error*) {
    auto* waiting = static_cast<Waiting*>(userdata);
    if (waiting->handle != sd_bus_message_get_path(signal))
        return 0;
    waiting->done = true;
    if (sd_bus_message_read(signal, "u", &waiting->response) < 0)
        return 0;
    if (sd_bus_message_enter_container(signal, 'a', "{sv}") < 0)
        return 0;
    while (sd_bus_message_enter_container(signal, 'e', "sv") > 0) {
        const char* key = nullptr;
        if (sd_bus_message_read(signal, "s", &key) < 0)
            break;
        if (std::strcmp(key, "uris") == 0 &&
            sd_bus_message_enter_container(signal, 'v', "as") > 0) {
            if (sd_bus_message_enter_container(signal, 'a', "s") > 0) {
                const char* uri = nullptr;
                while (sd_bus_message_read(signal, "s", &uri) > 0)
                    waiting->uris.emplace_back(uri);
                sd_bus_message_exit_container(signal);
            }
            sd_bus_message_exit_container(signal);
        } else {
            sd_bus_message_skip(signal, "v");
        }
        sd_bus_message_exit_container(signal);
    }
    return 0;
}

int OnPortalOwner(sd_bus_message* signal, void* userdata, sd_bus_error*) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(signal, "sss", &name, &oldOwner, &newOwner) >= 0 &&
        std::strcmp(name, kPortalName) == 0 && (newOwner == nullptr || newOwner[0] == '\0'))
        static_cast<Waiting*>(userdata)->portalGone = true;
    return 0;
}

int AppendFilter(sd_bus_message* m, const FileFilter& filter,
                 const std::vector<std::string>& globs) {
    int r = sd_bus_message_open_container(m, 'r', "sa(us)");
    if (r >= 0)
        r = sd_bus_message_append(m, "s", Utf16ToUtf8(filter.description).c_str());
    if (r >= 0)
        r = sd_bus_message_open_container(m, 'a', "(us)");
    for (const std::string& glob : globs) {
        if (r >= 0)
            r = sd_bus_message_append(m, "(us)", kGlobPattern, glob.c_str());
    }
    if (r >= 0)
        r = sd_bus_message_close_container(m);
    return r < 0 ? r : sd_bus_message_close_container(m);
}

int AppendOptions(sd_bus_message* m, const PickRequest& request, const std::string& token) {
    int r = sd_bus_message_open_container(m, 'a', "{sv}");
    if (r >= 0)
        r = sd_bus_message_append(m, "{sv}", "handle_token", "s", token.c_str());
    if (r >= 0)
        r = sd_bus_message_append(m, "{sv}", "modal", "b", 1);
    if (r >= 0)
        r = sd_bus_message_append(m, "{sv}", "multiple", "b", request.WantsMany() ? 1 : 0);
    if (r >= 0)
        r = sd_bus_message_append(m, "{sv}", "directory", "b", request.WantsFolders() ? 1 : 0);
    if (r >= 0 && !request.initialFolder.empty()) {
        // A byte string with its terminating zero.
        r = sd_bus_message_open_container(m, 'e', "sv");
        if (r >= 0)
            r = sd_bus_message_append(m, "s", "current_folder");
        if (r >= 0)
            r = sd_bus_message_open_container(m, 'v', "ay");
        if (r >= 0)
            r = sd_bus_message_append_array(m, 'y', request.initialFolder.c_str(),
                                            request.initialFolder.size() + 1);
        if (r >= 0)
            r = sd_bus_message_close_container(m);
        if (r >= 0)
            r = sd_bus_message_close_container(m);
    }
    if (r >= 0 && !request.WantsFolders() && !request.filters.empty()) {
        std::vector<std::pair<const FileFilter*, std::vector<std::string>>> usable;
        for (const FileFilter& filter : request.filters) {
            std::vector<std::string> globs = FilterPatterns(filter);
            if (!globs.empty())
                usable.emplace_back(&filter, std::move(globs));
        }
        if (!usable.empty()) {
            r = sd_bus_message_open_container(m, 'e', "sv");
            if (r >= 0)
                r = sd_bus_message_append(m, "s", "filters");
            if (r >= 0)
                r = sd_bus_message_open_container(m, 'v', "a(sa(us))");
            if (r >= 0)
                r = sd_bus_message_open_container(m, 'a', "(sa(us))");
            for (const auto& [filter, globs] : usable) {
                if (r >= 0)
                    r = AppendFilter(m, *filter, globs);
            }
            for (int i = 0; i < 3 && r >= 0; ++i)
                r = sd_bus_message_close_container(m);
            // The first filter is the one selected.
            if (r >= 0)
                r = sd_bus_message_open_container(m, 'e', "sv");
            if (r >= 0)
                r = sd_bus_message_append(m, "s", "current_filter");
            if (r >= 0)
                r = sd_bus_message_open_container(m, 'v', "(sa(us))");
            if (r >= 0)
                r = AppendFilter(m, *usable.front().first, usable.front().second);
            for (int i = 0; i < 2 && r >= 0; ++i)
                r = sd_bus_message_close_container(m);
        }
    }
    return r < 0 ? r : sd_bus_message_close_container(m);
}

} // namespace

PickOutcome PickWithPortal(const PickRequest& request) {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0)
        return PickOutcome::Unavailable();
    SdBusPtr bus(raw);

    const char* unique = nullptr;
    if (sd_bus_get_unique_name(bus.get(), &unique) < 0 || unique == nullptr || unique[0] != ':')
        return PickOutcome::Unavailable();
    // The handle the portal will use: the sender's name without ":" and
    // with "." as "_", then our token.
    std::string sender = unique + 1;
    for (char& c : sender) {
        if (c == '.')
            c = '_';
    }
    const std::string token =
        "velto" + std::to_string(::getpid()) + "_" + std::to_string(++g_requestCounter);
    Waiting waiting;
    waiting.handle = std::string(kPortalPath) + "/request/" + sender + "/" + token;

    // Listen before asking, so an answer cannot come first.
    sd_bus_slot* slot = nullptr;
    if (sd_bus_match_signal(bus.get(), &slot, nullptr, nullptr, kRequest, "Response", OnResponse,
                            &waiting) < 0)
        return PickOutcome::Unavailable();
    SdBusSlotPtr responseSlot(slot);
    slot = nullptr;
    if (sd_bus_match_signal(bus.get(), &slot, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "NameOwnerChanged", OnPortalOwner,
                            &waiting) < 0)
        return PickOutcome::Unavailable();
    SdBusSlotPtr ownerSlot(slot);

    sd_bus_message* callRaw = nullptr;
    if (sd_bus_message_new_method_call(bus.get(), &callRaw, kPortalName, kPortalPath, kFileChooser,
                                       "OpenFile") < 0)
        return PickOutcome::Unavailable();
    SdBusMessagePtr call(callRaw);
    std::string parent;
    if (request.owner != 0) {
        char text[32];
        std::snprintf(text, sizeof(text), "x11:%llx",
                      static_cast<unsigned long long>(request.owner));
        parent = text;
    }
    if (sd_bus_message_append(call.get(), "ss", parent.c_str(), request.title.c_str()) < 0 ||
        AppendOptions(call.get(), request, token) < 0)
        return PickOutcome::Unavailable();
    SdBusError error;
    sd_bus_message* replyRaw = nullptr;
    if (sd_bus_call(bus.get(), call.get(), kOpenCallUsec, error.Get(), &replyRaw) < 0)
        return PickOutcome::Unavailable();
    SdBusMessagePtr reply(replyRaw);
    const char* handle = nullptr;
    if (sd_bus_message_read(reply.get(), "o", &handle) < 0)
        return PickOutcome::Unavailable();
    // Older portals chose the handle themselves.
    waiting.handle = handle;

    // The dialog stays open as long as the user takes.
    while (!waiting.done && !waiting.portalGone) {
        const int r = sd_bus_process(bus.get(), nullptr);
        if (r < 0)
            return PickOutcome::Cancelled();
        if (r > 0)
            continue;
        const int waited = sd_bus_wait(bus.get(), UINT64_MAX);
        if (waited < 0 && waited != -EINTR)
            return PickOutcome::Cancelled();
    }
    if (!waiting.done || waiting.response != kResponseSuccess)
        return PickOutcome::Cancelled();
    std::vector<std::string> paths;
    for (const std::string& uri : waiting.uris) {
        if (std::optional<std::string> path = PathFromFileUri(uri))
            paths.push_back(std::move(*path));
    }
    return PickOutcome::Chosen(std::move(paths));
}

} // namespace Velto::Widget::Kit
