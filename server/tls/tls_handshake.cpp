#include "server/tls/tls_handshake.h"

#include "base/clock.h"
#include "base/diag_log.h"
#include "server/tls/tls_results.h"

#include <optional>
#include <vector>

namespace Velto::Net {
namespace {

// Runs the handshake; with a deadline every receive waits only for the time
// that is left, so a peer trickling bytes cannot hold the connection longer
// than the whole time-out.
Result RunHandshake(TlsSession& session, IConnection& connection,
                    std::optional<std::uint64_t> deadline) {
    std::vector<std::byte> received(kTlsReadChunk);
    Bytes output;
    std::span<const std::byte> input;
    for (;;) {
        output.clear();
        bool done = false;
        const Result step = session.Step(input, output, done);
        if (!output.empty()) {
            const Result sent = connection.Send(output);
            if (Failed(step))
                return step;
            if (Failed(sent))
                return sent;
        }
        if (Failed(step))
            return step;
        if (done)
            return kOk;
        if (deadline) {
            const std::uint64_t now = TickCount64();
            if (now >= *deadline)
                return kTimedOut;
            const Result set =
                connection.SetReceiveTimeout(static_cast<std::uint32_t>(*deadline - now));
            if (Failed(set))
                return set;
        }
        std::uint32_t count = 0;
        const Result got = connection.Receive(received, count);
        if (Failed(got))
            return got;
        if (count == 0)
            return kConnectionReset;
        input = std::span<const std::byte>(received.data(), count);
    }
}

} // namespace

Result Handshake(TlsSession& session, IConnection& connection) {
    return RunHandshake(session, connection, std::nullopt);
}

Result HandshakeOverConnection(IConnection& connection, TlsSession& session,
                               std::uint32_t timeoutMs) {
    std::optional<std::uint64_t> deadline;
    if (timeoutMs != 0) {
        const Result set = connection.SetReceiveTimeout(timeoutMs);
        if (Failed(set))
            return set;
        deadline = TickCount64() + timeoutMs;
    }
    const Result result = RunHandshake(session, connection, deadline);
    if (Failed(result)) {
        LogFailure("[Tls] handshake over connection", result);
        return result;
    }
    if (timeoutMs != 0)
        connection.SetReceiveTimeout(0);
    return kOk;
}

} // namespace Velto::Net
