// Cost of CorvaneService::GetStatus, which the window calls every two seconds
// on its UI thread: with a running server on loopback only, listening on every
// interface (the address list has real entries), and while other threads poll
// at the same time.

#include "service/corvane_service.h"
#include "webapp/embedded_assets.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using Velto::Corvane::Config;
using Velto::Corvane::CorvaneService;
using Velto::Corvane::ServiceOptions;

std::string g_root;

std::unique_ptr<CorvaneService> StartService(bool loopbackOnly) {
    static const Velto::Corvane::EmbeddedAssets assets;
    ServiceOptions options;
    options.configPath = g_root + "/config.json";
    options.logsFolder = g_root + "/logs";
    options.loopbackOnly = loopbackOnly;
    options.certificateStoreFolder = g_root;
    auto service = std::make_unique<CorvaneService>(options, assets);
    Config config;
    config.port = 0; // any free port
    config.upnp = false;
    Velto::Corvane::Share share;
    share.id = "0123456789abcdef";
    share.name = u"bench";
    share.path = std::filesystem::path{g_root}.u16string();
    config.shares.push_back(share);
    service->ApplyConfig(config);
    if (Velto::Failed(service->Start()))
        return nullptr;
    return service;
}

std::unique_ptr<CorvaneService> g_service;

// Set-up and tear-down run once per benchmark, outside the threads.
void StartLoopback(const benchmark::State&) {
    g_service = StartService(true);
}
void StartAllInterfaces(const benchmark::State&) {
    g_service = StartService(false);
}
void StopService(const benchmark::State&) {
    g_service.reset();
}

void BM_GetStatus(benchmark::State& state) {
    if (!g_service) {
        state.SkipWithError("the service did not start");
        return;
    }
    std::size_t addresses = 0;
    for (auto _ : state) {
        const auto status = g_service->GetStatus();
        addresses = status.localAddresses.size();
        benchmark::DoNotOptimize(status);
    }
    state.counters["addresses"] =
        benchmark::Counter(static_cast<double>(addresses), benchmark::Counter::kAvgThreads);
}

BENCHMARK(BM_GetStatus)->Name("GetStatus/loopback")->Setup(StartLoopback)->Teardown(StopService);
BENCHMARK(BM_GetStatus)
    ->Name("GetStatus/allInterfaces")
    ->Setup(StartAllInterfaces)
    ->Teardown(StopService);
BENCHMARK(BM_GetStatus)
    ->Name("GetStatus/loopback")
    ->Setup(StartLoopback)
    ->Teardown(StopService)
    ->Threads(2);

} // namespace

int main(int argc, char** argv) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velto-service-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return 1;
    g_root = pattern;
    ::setenv("HOME", g_root.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (g_root + "/data").c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_root);
    return 0;
}
