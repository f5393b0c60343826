// Feeds arbitrary bytes, cut into a few pieces, to a server-side TLS session
// as if a browser sent them: the handshake and, once it completes, the record
// layer. Nothing may crash, and a session that failed must stay failed.
#include "server/tls/tls_config.h"
#include "server/tls/tls_credentials.h"
#include "server/tls/tls_session.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>

namespace {

using namespace Velto;

std::shared_ptr<const Net::TlsCredentials> ServerCredentials() {
    static const std::shared_ptr<const Net::TlsCredentials> credentials = [] {
        const std::filesystem::path store =
            std::filesystem::temp_directory_path() / "velto-tls-fuzz-store";
        Net::TlsConfig config;
        config.role = Net::TlsRole::Server;
        config.storeDirectory = store;
        config.autoCertificate = true;
        config.autoKeyName = u"VeltoCorvaneFuzz-Key";
        config.autoSubject = u"CN=VeltoCorvane Fuzz";
        std::shared_ptr<const Net::TlsCredentials> made;
        if (Failed(Net::AcquireSchannelCreds(config, made)))
            std::abort();
        return made;
    }();
    return credentials;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<Net::TlsSession> session;
    if (Failed(Net::NewTlsSession(ServerCredentials(), session)))
        std::abort();

    // The first byte chooses where the input is cut, so one record can arrive
    // across several receives.
    const std::size_t cut = size > 0 ? data[0] + 1u : 1u;
    std::span<const std::byte> rest =
        std::as_bytes(std::span(data, size)).subspan(size > 0 ? 1 : 0);
    bool done = false;
    bool failed = false;
    while (!rest.empty()) {
        const std::span<const std::byte> piece = rest.first(std::min(cut, rest.size()));
        rest = rest.subspan(piece.size());
        Net::Bytes output;
        if (!done) {
            const Result stepped = session->Step(piece, output, done);
            if (Failed(stepped)) {
                failed = true;
                break;
            }
            continue;
        }
        Net::Bytes plaintext;
        bool closed = false;
        if (Failed(session->Open(piece, plaintext, closed)) || closed)
            break;
    }
    if (failed) {
        Net::Bytes output;
        bool doneAfter = false;
        const std::byte more[1] = {std::byte{0x16}};
        if (Succeeded(session->Step(more, output, doneAfter)))
            std::abort();
    }
    return 0;
}
