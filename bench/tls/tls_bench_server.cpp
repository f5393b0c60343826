// HTTPS server for the TLS benchmark: the real HttpServer with credentials
// from the per-user store. GET /big streams one file through a 256 KiB read
// loop (how downloads go over TLS); any other path answers "ok".
#include "base/utf.h"
#include "server/cert/self_signed_certificate.h"
#include "server/http/http_handler.h"
#include "server/http/http_server.h"
#include "server/tls/tls_credentials.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace Velto;

constexpr std::size_t kReadChunk = 256 * 1024;

class BenchHandler final : public Corvane::IHttpHandler {
public:
    explicit BenchHandler(std::string bigFile) : m_bigFile(std::move(bigFile)) {}

    void Handle(const Corvane::HttpRequest& request, Corvane::HttpBody&,
                Corvane::HttpResponse& response) override {
        if (request.path != "/big") {
            static constexpr char kOk[] = "ok";
            response.AddHeader("Content-Type", "text/plain");
            if (response.Begin(200, 2))
                response.Write(std::as_bytes(std::span(kOk, 2)));
            response.Finish();
            return;
        }
        const int fd = ::open(m_bigFile.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st{};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            response.Begin(404, 0);
            response.Finish();
            if (fd >= 0)
                ::close(fd);
            return;
        }
        response.AddHeader("Content-Type", "application/octet-stream");
        std::vector<std::byte> buffer(kReadChunk);
        bool ok = response.Begin(200, static_cast<std::uint64_t>(st.st_size));
        while (ok) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            ok = response.Write(std::span(buffer.data(), static_cast<std::size_t>(n)));
        }
        ::close(fd);
        response.Finish();
    }

private:
    std::string m_bigFile;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <store directory> <big file> <port>\n", argv[0]);
        return 2;
    }
    const std::string store = argv[1];
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    Corvane::CertificateThumbprints thumbprints;
    Result result = Corvane::EnsureSelfSignedCertificate(
        store, u"", {u"VeltoCorvaneBench-", u"CN=VeltoCorvane", u"VeltoCorvane"}, thumbprints);
    if (Failed(result)) {
        std::fprintf(stderr, "certificate: %s\n", FormatResult(result).c_str());
        return 1;
    }
    Net::TlsConfig tls;
    tls.role = Net::TlsRole::Server;
    tls.thumbprint = thumbprints.sha1;
    tls.storeDirectory = store;
    Corvane::ServerOptions options;
    options.port = static_cast<std::uint16_t>(std::stoi(argv[3]));
    options.loopbackOnly = true;
    result = Net::AcquireSchannelCreds(tls, options.tls);
    if (Failed(result)) {
        std::fprintf(stderr, "credentials: %s\n", FormatResult(result).c_str());
        return 1;
    }
    BenchHandler handler(argv[2]);
    Corvane::HttpServer server(handler);
    result = server.Start(options);
    if (Failed(result)) {
        std::fprintf(stderr, "start: %s\n", FormatResult(result).c_str());
        return 1;
    }
    std::printf("PORT %u\nSHA1 %s\n", server.BoundPort(), Utf16ToUtf8(thumbprints.sha1).c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    server.Stop();
    return 0;
}
