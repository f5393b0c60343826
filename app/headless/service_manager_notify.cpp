#include "app/headless/service_manager_notify.h"

#include <systemd/sd-daemon.h>

#include <string>

namespace App {

void NotifyReady(std::string_view status) {
    // A newline would start another assignment of the notify protocol.
    std::string line{status};
    for (char& c : line) {
        if (c == '\n')
            c = ' ';
    }
    // The result only says whether a manager listens; either way the run goes on.
    ::sd_notify(0, ("READY=1\nSTATUS=" + line).c_str());
}

void NotifyStopping() {
    ::sd_notify(0, "STOPPING=1\nSTATUS=Stopping");
}

} // namespace App
