// Serves one folder as the share "share", with every right for guests, on a
// loopback port the system picks; prints the port and runs until it is
// killed. For tests that end the server process abruptly. With a state
// folder, unfinished uploads are kept there and taken over at the next start.
//
//   webapp_share_server <folder> [<state folder>]
#include "base/utf.h"
#include "config/access_log.h"
#include "config/config.h"
#include "server/http/http_server.h"
#include "webapp/embedded_assets.h"
#include "webapp/web_app.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace Velto;
using namespace Velto::Corvane;

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <folder> [<state folder>]\n", argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    Config config;
    config.upnp = false;
    Share share;
    share.id = "00000000000000c1";
    share.name = u"share";
    share.path = Utf8ToUtf16(argv[1]);
    share.guest = AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete;
    config.shares.push_back(share);

    EmbeddedAssets assets;
    AccessLog log("");
    WebApp app(assets, log);
    app.SetConfig(config);
    if (argc == 3 && !app.OpenUploadState(argv[2])) {
        std::fprintf(stderr, "cannot use the state folder %s\n", argv[2]);
        return 1;
    }
    HttpServer server(app);
    ServerOptions options;
    options.port = 0;
    options.loopbackOnly = true;
    if (const Result result = server.Start(options); Failed(result)) {
        std::fprintf(stderr, "start failed: %s\n", FormatResult(result).c_str());
        return 1;
    }
    std::printf("%u\n", server.BoundPort());
    std::fflush(stdout);
    for (;;)
        ::pause();
}
