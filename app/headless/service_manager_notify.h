#pragma once

#include <string_view>

namespace App {

// Tells the service manager that started this process (systemd with
// Type=notify, which sets NOTIFY_SOCKET) where the run stands: the server
// accepts connections, with a one-line status for `systemctl status`.
// Nothing happens when no service manager listens.
void NotifyReady(std::string_view status);

// The run is stopping after a stop signal.
void NotifyStopping();

} // namespace App
