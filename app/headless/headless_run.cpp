#include "app/headless/headless_run.h"

#include "app/headless/console_output.h"
#include "app/headless/server_addresses.h"
#include "app/headless/service_manager_notify.h"
#include "app/headless/temporary_shares.h"
#include "app/run/service_options_for_run.h"
#include "app/run/stop_signals.h"
#include "base/result.h"
#include "base/utf.h"
#include "config/access_log.h"
#include "reach/upnp_state.h"
#include "server/net/sigpipe_ignore_count.h"
#include "service/corvane_service.h"
#include "webapp/embedded_assets.h"

#include <signal.h>

#include <string>

namespace App {
namespace {

using Velto::Corvane::CorvaneService;
using Velto::Corvane::ServiceStatus;
using Velto::Corvane::UpnpState;

std::string StartFailureText(const ServiceStatus& status) {
    const std::string code = Velto::FormatResult(status.error);
    const std::string port = std::to_string(status.port);
    if (status.error == Velto::kAddrInUse)
        return "Could not start the server: port " + port + " is already in use (error " + code +
               "). Choose another one with --port N.";
    if (status.error == Velto::kSocketAccess)
        return "Could not start the server: the system does not allow port " + port + " (error " +
               code + "). Choose another one with --port N.";
    if (status.certificateError)
        return "Could not start the server: the HTTPS certificate could not be prepared (error " +
               code + ").";
    return "Could not start the server (error " + code + ").";
}

std::string OutsideText(const ServiceStatus& status) {
    const std::string port = std::to_string(status.port);
    switch (static_cast<UpnpState>(status.upnpState)) {
    case UpnpState::Mapped:
        return "Router: port " + port + " is forwarded to this computer" +
               (status.externalAddress.empty()
                    ? std::string{"."}
                    : "; Internet address " + status.externalAddress + ".");
    case UpnpState::NoGateway:
        return "Router: no router answered the port-forwarding request; retrying later.";
    case UpnpState::Conflict:
        return "Router: port " + port + " is already forwarded to another device.";
    case UpnpState::Refused:
        return "Router: the router refused to forward port " + port + " (error " +
               std::to_string(status.upnpError) + ").";
    case UpnpState::Failed:
        return "Router: talking to the router failed; retrying later.";
    case UpnpState::Off:
    case UpnpState::Working:
        break;
    }
    return {};
}

void PrintShares(ConsoleOutput& out, const Velto::Corvane::Config& config,
                 const std::vector<Velto::Corvane::Share>& temporary) {
    if (config.shares.empty() && temporary.empty()) {
        out.Line("Nothing is shared yet: add folders or files with --share PATH.");
        return;
    }
    for (const auto& share : config.shares)
        out.Line("Sharing \"" + Velto::Utf16ToUtf8(share.name) +
                 "\": " + Velto::Utf16ToUtf8(share.path));
    for (const auto& share : temporary)
        out.Line("Sharing \"" + Velto::Utf16ToUtf8(share.name) +
                 "\": " + Velto::Utf16ToUtf8(share.path) + " (read-only, this run only)");
}

// What `systemctl status` shows of a running server: where it is reached.
std::string ReadyStatus(const ServiceStatus& status, bool loopbackOnly) {
    const std::vector<std::string> urls = AddressUrls(status);
    if (loopbackOnly || urls.empty())
        return "Serving on port " + std::to_string(status.port) + " of this computer";
    return "Serving at " + urls.front();
}

} // namespace

int RunHeadless(const CommandLine& line, const EnvironmentSettings& settings) {
    ConsoleOutput out;
    const Velto::Corvane::ServiceOptions options = ServiceOptionsFor(settings);
    if (options.configPath.empty()) {
        out.ErrorLine("Cannot find a folder for the settings: HOME is not set.");
        return 1;
    }

    const Velto::Result sigpipeIgnore = Velto::Net::AcquireSigpipeIgnore();
    if (Velto::Failed(sigpipeIgnore)) {
        out.ErrorLine("Cannot prepare the network layer (error " +
                      Velto::FormatResult(sigpipeIgnore) + ").");
        return 1;
    }
    int exitCode = 0;
    {
        const Velto::Corvane::EmbeddedAssets assets;
        CorvaneService service{options, assets};
        service.Log().SetOnAppend([&out](const Velto::Corvane::AccessLogEntry& entry) {
            out.Line(Velto::Corvane::FormatAccessLogLine(entry));
        });
        if (!service.LoadConfiguration())
            out.ErrorLine("The settings file " + options.configPath +
                          " cannot be read; the defaults apply for this run.");

        const Velto::Corvane::Config config = service.GetConfig();
        const TemporarySharesResult temporary = MakeTemporaryShares(line.shares, config.shares);
        if (!temporary.error.empty()) {
            out.ErrorLine(temporary.error);
            exitCode = 1;
        } else {
            service.SetTemporaryShares(temporary.shares);
            service.SetPortForRun(line.port);
            // A server started from a terminal stays on the local network
            // unless the router is asked for explicitly.
            service.SetUpnpForRun(line.upnp);
            service.SetOnOutsideChanged([&out, &service] {
                const std::string text = OutsideText(service.GetStatus());
                if (!text.empty())
                    out.Line(text);
            });

            PrintShares(out, config, temporary.shares);
            if (Velto::Failed(service.Start())) {
                out.ErrorLine(StartFailureText(service.GetStatus()));
                exitCode = 1;
            } else {
                PrintAddresses(out, service.GetStatus(), settings.loopback);
                if (settings.loopback)
                    out.Line("The router is not asked to forward the port: the server listens "
                             "on this computer only (VELTO_CORVANE_LOOPBACK).");
                else
                    out.Line(line.upnp ? "Asking the router to forward the port (--upnp); the "
                                         "shares become reachable from the Internet."
                                       : "The router is not asked to forward the port: the "
                                         "shares stay on the local network. Start with --upnp to "
                                         "make them reachable from the Internet.");
                out.Line("Press Ctrl+C to stop.");
                NotifyReady(ReadyStatus(service.GetStatus(), settings.loopback));
                const int signal = WaitForStopSignal();
                NotifyStopping();
                out.Line(signal == SIGINT ? "Stopping (interrupted)." : "Stopping.");
            }
            service.SetOnOutsideChanged({});
        }
        service.Log().SetOnAppend({});
        service.Stop();
        // Destroying the service waits for the router mapping to be removed.
    }
    Velto::Net::ReleaseSigpipeIgnore();
    if (exitCode == 0)
        out.Line("Stopped.");
    return exitCode;
}

} // namespace App
