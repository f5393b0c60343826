// Serves one folder as a read-only guest share through the web application
// on a loopback port until SIGINT or SIGTERM; the benchmark script drives it.
//
//   webapp_bench_server <port> <folder>
#include "base/utf.h"
#include "config/access_log.h"
#include "config/config.h"
#include "server/http/http_server.h"
#include "webapp/embedded_assets.h"
#include "webapp/web_app.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace Velto;
using namespace Velto::Corvane;

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s <port> <folder> [logs folder]\n", argv[0]);
        return 2;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Config config;
    Share share;
    share.id = "00000000000000b1";
    share.name = u"bench";
    share.path = Utf8ToUtf16(argv[2]);
    share.readOnly = true;
    share.guest = AccessFlags::Read;
    config.shares.push_back(share);

    EmbeddedAssets assets;
    // Memory only, as the peer writes no log either; a third argument names a
    // logs folder to measure with the daily files a real run writes.
    AccessLog log(argc > 3 ? argv[3] : "");
    WebApp app(assets, log);
    app.SetConfig(config);
    HttpServer server(app);
    ServerOptions options;
    options.port = static_cast<std::uint16_t>(std::atoi(argv[1]));
    options.loopbackOnly = true;
    // wrk opens all its connections from one address; the per-address cap
    // guards against visitors, not against the load generator.
    options.maxConnectionsPerAddress = options.maxConnections;
    if (const Result result = server.Start(options); Failed(result)) {
        std::fprintf(stderr, "start failed: %s\n", FormatResult(result).c_str());
        return 1;
    }
    std::printf("listening on 127.0.0.1:%u\n", server.BoundPort());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
    return 0;
}
