#include "app/desktop/shell/file_manager_show_items.h"

#include "server/http/percent_coding.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdint>
#include <memory>

namespace App {
namespace {

constexpr const char* kService = "org.freedesktop.FileManager1";
constexpr const char* kObject = "/org/freedesktop/FileManager1";
constexpr const char* kInterface = "org.freedesktop.FileManager1";
// Room for a file manager that has to start first.
constexpr std::uint64_t kShowItemsTimeoutUs = 15'000'000;

struct BusDeleter {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageDeleter {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Bus = std::unique_ptr<sd_bus, BusDeleter>;
using Message = std::unique_ptr<sd_bus_message, MessageDeleter>;

class CallError {
public:
    CallError() = default;
    ~CallError() { sd_bus_error_free(&m_error); }
    CallError(const CallError&) = delete;
    CallError& operator=(const CallError&) = delete;
    sd_bus_error* Get() { return &m_error; }

private:
    sd_bus_error m_error = SD_BUS_ERROR_NULL;
};

} // namespace

std::string FileUri(const std::string& path) {
    return "file://" + Velto::Corvane::PercentEncode(path, false);
}

bool ShowItemInFileManager(const std::string& path) {
    sd_bus* rawBus = nullptr;
    if (sd_bus_open_user(&rawBus) < 0)
        return false;
    const Bus bus{rawBus};

    sd_bus_message* rawCall = nullptr;
    if (sd_bus_message_new_method_call(bus.get(), &rawCall, kService, kObject, kInterface,
                                       "ShowItems") < 0)
        return false;
    const Message call{rawCall};
    const std::string uri = FileUri(path);
    const char* uris[] = {uri.c_str(), nullptr};
    if (sd_bus_message_append_strv(call.get(), const_cast<char**>(uris)) < 0 ||
        sd_bus_message_append(call.get(), "s", "") < 0)
        return false;

    // The bus answers at once when no file manager owns or can start under
    // the name. The connection stays open until the answer: a call that waits
    // for a file manager to start is dropped if its sender goes away.
    CallError error;
    sd_bus_message* rawReply = nullptr;
    const int called =
        sd_bus_call(bus.get(), call.get(), kShowItemsTimeoutUs, error.Get(), &rawReply);
    const Message reply{rawReply};
    return called >= 0 || called == -ETIMEDOUT;
}

} // namespace App
