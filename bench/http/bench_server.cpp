// The HTTP server under load: fixed bodies from memory, and the same bytes
// from files through the zero-copy file path, for comparison with nginx.
//
//   http_bench_server <port> <folder>
//
// Writes small.bin (1 KiB) and large.bin (64 MiB) into <folder> (the peer
// serves them from there), prints "ready <port>" and serves until SIGINT or
// SIGTERM:
//   /small.bin, /large.bin            the bodies from memory (one Write)
//   /file/small.bin, /file/large.bin  the files in <folder> via WriteFileRange

#include "server/http/http_server.h"
#include "server/http/request_helpers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace Velto;
using namespace Velto::Corvane;

constexpr std::size_t kSmallBytes = 1024;
constexpr std::size_t kLargeBytes = 64 * 1024 * 1024;

std::string MakeBody(std::size_t size) {
    std::string body(size, '\0');
    std::uint32_t state = 12345;
    for (char& c : body) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>('a' + (state >> 16) % 26);
    }
    return body;
}

class BenchHandler final : public IHttpHandler {
public:
    explicit BenchHandler(std::filesystem::path folder)
        : m_folder(std::move(folder)), m_small(MakeBody(kSmallBytes)),
          m_large(MakeBody(kLargeBytes)) {}

    bool WriteFiles() const {
        for (const auto& [name, body] :
             {std::pair{"small.bin", &m_small}, std::pair{"large.bin", &m_large}}) {
            std::ofstream out(m_folder / name, std::ios::binary | std::ios::trunc);
            out.write(body->data(), static_cast<std::streamsize>(body->size()));
            if (!out)
                return false;
        }
        return true;
    }

    void Handle(const HttpRequest& request, HttpBody&, HttpResponse& response) override {
        if (request.path == "/small.bin" || request.path == "/large.bin") {
            const std::string& body = request.path == "/small.bin" ? m_small : m_large;
            Respond(response, 200, "application/octet-stream", body);
            return;
        }
        if (request.path == "/file/small.bin" || request.path == "/file/large.bin") {
            const std::filesystem::path path = m_folder / request.path.substr(6);
            const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            struct stat info {};
            if (!fd || ::fstat(fd.Get(), &info) != 0) {
                Respond(response, 404, "text/plain", "missing");
                return;
            }
            const auto size = static_cast<std::uint64_t>(info.st_size);
            response.AddHeader("Content-Type", "application/octet-stream");
            if (response.Begin(200, size) && response.WriteFileRange(fd.Get(), 0, size))
                response.Finish();
            return;
        }
        Respond(response, 404, "text/plain", "missing");
    }

private:
    std::filesystem::path m_folder;
    std::string m_small;
    std::string m_large;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <port> <folder>\n", argv[0]);
        return 2;
    }
    BenchHandler handler(argv[2]);
    if (!handler.WriteFiles()) {
        std::fprintf(stderr, "cannot write the bodies into %s\n", argv[2]);
        return 1;
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr); // every thread inherits the mask

    HttpServer server(handler);
    ServerOptions options;
    options.port = static_cast<std::uint16_t>(std::atoi(argv[1]));
    options.loopbackOnly = true;
    // wrk opens all its connections from one address; the per-address cap
    // guards against visitors, not against the load generator.
    options.maxConnectionsPerAddress = options.maxConnections;
    const Result started = server.Start(options);
    if (Failed(started)) {
        std::fprintf(stderr, "start failed: 0x%s\n", FormatResult(started).c_str());
        return 1;
    }
    std::printf("ready %u\n", server.BoundPort());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&signals, &signal);
    server.Stop();
    return 0;
}
