// Parsing cost of what a router can send: a normal device description, and
// 256 KiB replies built to make a careless scanner slow (every one of them must
// stay linear in its size).

#include "reach/device_description.h"
#include "reach/xml_scan.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

using Velto::Corvane::ElementText;
using Velto::Corvane::ParseDeviceDescription;

constexpr std::size_t kReplyCap = 262144;
constexpr const char* kLocation = "http://192.168.1.1:5000/rootDesc.xml";

std::string Service(const char* type, const char* control) {
    return std::string{"<service><serviceType>"} + type +
           "</serviceType><serviceId>id</serviceId><SCPDURL>/x.xml</SCPDURL><controlURL>" +
           control + "</controlURL><eventSubURL>/evt</eventSubURL></service>";
}

// Shaped like a home router's description: three nested devices, a few services.
std::string TypicalDescription() {
    return "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
           "<specVersion><major>1</major><minor>1</minor></specVersion><device>"
           "<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>"
           "<friendlyName>Router</friendlyName><serviceList>" +
           Service("urn:schemas-upnp-org:service:Layer3Forwarding:1", "/ctl/L3F") +
           "</serviceList><deviceList><device><serviceList>" +
           Service("urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1", "/ctl/CmnIfCfg") +
           "</serviceList><deviceList><device><serviceList>" +
           Service("urn:schemas-upnp-org:service:WANIPConnection:2", "/ctl/IPConn") +
           "</serviceList></device></deviceList></device></deviceList></device></root>";
}

std::string Repeat(const std::string& unit, std::size_t limit) {
    std::string out;
    while (out.size() + unit.size() <= limit)
        out += unit;
    return out;
}

void ParseDescription(benchmark::State& state, const std::string& xml) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseDeviceDescription(xml, kLocation));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
}

void BM_TypicalDescription(benchmark::State& state) {
    ParseDescription(state, TypicalDescription());
}

void BM_ManyServices(benchmark::State& state) {
    const std::string xml =
        "<root>" + Repeat(Service("urn:x:service:Other:1", "/c"), kReplyCap - 100) + "</root>";
    ParseDescription(state, xml);
}

void BM_UnterminatedOpenings(benchmark::State& state) {
    const std::string xml = "<service>" + Repeat("<service ", kReplyCap - 20) + "</service>";
    ParseDescription(state, xml);
}

void BM_DeepNesting(benchmark::State& state) {
    const std::size_t depth = kReplyCap / 20;
    const std::string xml = Repeat("<service>", depth * 9) + Repeat("</service>", depth * 10);
    ParseDescription(state, xml);
}

void BM_EntityFlood(benchmark::State& state) {
    const std::string xml = "<v>" + Repeat("&amp;&#x41;&bogus", kReplyCap - 10) + "</v>";
    for (auto _ : state)
        benchmark::DoNotOptimize(ElementText(xml, "v"));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
}

BENCHMARK(BM_TypicalDescription);
BENCHMARK(BM_ManyServices);
BENCHMARK(BM_UnterminatedOpenings);
BENCHMARK(BM_DeepNesting);
BENCHMARK(BM_EntityFlood);

} // namespace

BENCHMARK_MAIN();
