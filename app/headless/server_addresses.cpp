#include "app/headless/server_addresses.h"

#include "app/qr/qr_encoder.h"
#include "app/qr/terminal_qr.h"

#include <unistd.h>

#include <algorithm>

namespace App {
namespace {

constexpr const char* kLoopback = "127.0.0.1";

std::string UrlFor(const Velto::Corvane::ServiceStatus& status, const std::string& address) {
    return std::string{status.https ? "https://" : "http://"} + address + ":" +
           std::to_string(status.port) + "/";
}

} // namespace

std::vector<std::string> AddressUrls(const Velto::Corvane::ServiceStatus& status) {
    std::vector<std::string> urls;
    for (const std::string& address : status.localAddresses)
        urls.push_back(UrlFor(status, address));
    return urls;
}

void PrintAddresses(ConsoleOutput& out, const Velto::Corvane::ServiceStatus& status,
                    bool loopbackOnly) {
    const std::vector<std::string> urls = AddressUrls(status);
    const std::string kind = status.https ? "HTTPS" : "HTTP";
    out.Line("Serving " + kind + " on port " + std::to_string(status.port) + ".");
    if (loopbackOnly) {
        out.Line("Listening on this computer only: " + UrlFor(status, kLoopback));
        return;
    }
    if (urls.empty()) {
        out.Line("No network address found; on this computer: " + UrlFor(status, kLoopback));
        return;
    }
    out.Line("Open one of these addresses in a browser on your network:");
    for (const std::string& url : urls)
        out.Line("  " + url);
    out.Line("On this computer: " + UrlFor(status, kLoopback));
    // A phone camera opens the first address from the terminal; a log file
    // gets no picture.
    if (!::isatty(STDOUT_FILENO))
        return;
    const std::string& first = urls.front();
    const QrSymbol symbol =
        EncodeQr({reinterpret_cast<const std::uint8_t*>(first.data()), first.size()}, QrLevel::M);
    for (const std::string& line : TerminalQrLines(symbol))
        out.Line(line);
}

} // namespace App
