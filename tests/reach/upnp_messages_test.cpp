#include "reach/device_description.h"
#include "reach/soap_call.h"
#include "reach/ssdp_answer.h"
#include "reach/upnp_client.h"
#include "reach/upnp_state.h"

#include <gtest/gtest.h>
#include <string>

namespace Velto::Corvane {
namespace {

TEST(SsdpAnswerTest, SearchRequestBytes) {
    EXPECT_EQ(BuildSearchRequest(kSearchTargets[0]),
              "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n"
              "MX: 2\r\nST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n");
}

TEST(SsdpAnswerTest, ParseCases) {
    struct Case {
        std::string datagram;
        std::optional<std::string> location;
    };
    const std::string loc = "http://192.168.1.1:5000/rootDesc.xml";
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nLOCATION: " + loc + "\r\n\r\n", loc},
        {"http/1.0 200 OK\r\nlocation:\t " + loc + " \t\r\n\r\n", loc},
        {"HTTP/1.1 200 OK\r\n  LoCaTiOn  :" + loc + "\r\n", loc},
        {"HTTP/1.1 200\r\nLocation: " + loc, loc},
        {"HTTP/1.1 200 OK\nLocation: " + loc + "\n", std::nullopt}, // status line needs CR LF
        {"HTTP/1.1 404 Not Found\r\nLOCATION: " + loc + "\r\n\r\n", std::nullopt},
        {"HTTP/1.1 20\r\nLOCATION: " + loc + "\r\n\r\n", std::nullopt},
        {"NOTIFY * HTTP/1.1\r\nLOCATION: " + loc + "\r\n\r\n", std::nullopt},
        {"HTTP/1.1 200 OK\r\nLOCATION: https://192.168.1.1/desc.xml\r\n\r\n", std::nullopt},
        // The first location header decides.
        {"HTTP/1.1 200 OK\r\nLOCATION: https://192.168.1.1/\r\nLOCATION: " + loc + "\r\n",
         std::nullopt},
        {"HTTP/1.1 200 OK\r\nLOCATION: " + loc + "\r\nLOCATION: http://10.0.0.1/\r\n", loc},
        {"HTTP/1.1 200 OK\r\nX-LOCATION: " + loc + "\r\nSERVER: x\r\n\r\n", std::nullopt},
        // Locations must be shorter than 1024 characters.
        {"HTTP/1.1 200 OK\r\nLOCATION: http://a/" + std::string(1014, 'x') + "\r\n",
         "http://a/" + std::string(1014, 'x')},
        {"HTTP/1.1 200 OK\r\nLOCATION: http://a/" + std::string(1015, 'x') + "\r\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSearchAnswer(c.datagram), c.location) << c.datagram.substr(0, 80);
}

std::string Service(std::string_view type, std::string_view control) {
    return "<service><serviceType>" + std::string{type} +
           "</serviceType><serviceId>x</serviceId><controlURL>" + std::string{control} +
           "</controlURL></service>";
}

TEST(DeviceDescriptionTest, PicksWanService) {
    const std::string location = "http://192.168.1.1:5000/rootDesc.xml";
    const std::string ip1 = "urn:schemas-upnp-org:service:WANIPConnection:1";
    const std::string ip2 = "urn:schemas-upnp-org:service:WANIPConnection:2";
    const std::string ppp = "urn:schemas-upnp-org:service:WANPPPConnection:1";
    const std::string other = "urn:schemas-upnp-org:service:Layer3Forwarding:1";
    auto device = [](const std::string& services, const std::string& head = "") {
        return "<?xml version=\"1.0\"?><root>" + head +
               "<device><deviceList><device><serviceList>" + services +
               "</serviceList></device></deviceList></device></root>";
    };
    struct Case {
        std::string xml;
        std::optional<WanService> expected;
    };
    const Case cases[] = {
        {device(Service(other, "/l3f") + Service(ppp, "/ppp") + Service(ip1, "/ctl/IPConn")),
         WanService{ip1, "http://192.168.1.1:5000/ctl/IPConn"}},
        {device(Service(ppp, "ppp1") + Service(ppp, "ppp2")),
         WanService{ppp, "http://192.168.1.1:5000/ppp1"}},
        {device(Service(ip2, "ctl")), WanService{ip2, "http://192.168.1.1:5000/ctl"}},
        {device(Service("URN:SCHEMAS-UPNP-ORG:SERVICE:WANIPCONNECTION:1", " ctl ")),
         WanService{"URN:SCHEMAS-UPNP-ORG:SERVICE:WANIPCONNECTION:1",
                    "http://192.168.1.1:5000/ctl"}},
        {device(Service(ip1, "/c"), "<URLBase>http://192.168.1.1:6000/</URLBase>"),
         WanService{ip1, "http://192.168.1.1:6000/c"}},
        // A URLBase that is not plain http is ignored.
        {device(Service(ip1, "/c"), "<URLBase>https://192.168.1.1:6000/</URLBase>"),
         WanService{ip1, "http://192.168.1.1:5000/c"}},
        {device(Service(ip1, "http://10.9.9.9/c")), WanService{ip1, "http://10.9.9.9/c"}},
        {device(Service(ip1, "") + Service("", "/c") + Service(ppp, "/p")),
         WanService{ppp, "http://192.168.1.1:5000/p"}},
        {device(Service(other, "/l3f")), std::nullopt},
        {device("<service><serviceType>" + ip1 + "</serviceType>"), std::nullopt},
        {"not xml at all", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        const auto service = ParseDeviceDescription(c.xml, location);
        ASSERT_EQ(service.has_value(), c.expected.has_value());
        if (!service)
            continue;
        EXPECT_EQ(service->serviceType, c.expected->serviceType);
        EXPECT_EQ(service->controlUrl, c.expected->controlUrl);
    }
}

TEST(SoapMessageTest, EnvelopeAndHeaderBytes) {
    const std::string type = "urn:schemas-upnp-org:service:WANIPConnection:1";
    EXPECT_EQ(BuildSoapEnvelope(
                  type, "DeletePortMapping",
                  {{"NewRemoteHost", ""}, {"NewExternalPort", "8080"}, {"NewProtocol", "TCP"}}),
              "<?xml version=\"1.0\"?>\r\n<s:Envelope "
              "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
              "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>"
              "<u:DeletePortMapping xmlns:u=\"urn:schemas-upnp-org:service:WANIPConnection:1\">"
              "<NewRemoteHost></NewRemoteHost><NewExternalPort>8080</NewExternalPort>"
              "<NewProtocol>TCP</NewProtocol></u:DeletePortMapping></s:Body></s:Envelope>\r\n");
    EXPECT_EQ(BuildSoapEnvelope("a\"&b", "X", {{"D", "<Tom & 'Jerry'>"}}),
              "<?xml version=\"1.0\"?>\r\n<s:Envelope "
              "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
              "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>"
              "<u:X xmlns:u=\"a&quot;&amp;b\"><D>&lt;Tom &amp; &apos;Jerry&apos;&gt;</D></u:X>"
              "</s:Body></s:Envelope>\r\n");
    EXPECT_EQ(BuildSoapHeaders(type, "GetExternalIPAddress"),
              "Content-Type: text/xml; charset=\"utf-8\"\r\nSOAPAction: "
              "\"urn:schemas-upnp-org:service:WANIPConnection:1#GetExternalIPAddress\"\r\n");
}

TEST(UpnpStateTest, FromMapStatus) {
    struct Case {
        std::int32_t status;
        UpnpState state;
    };
    const Case cases[] = {
        {UpnpMapResult::Mapped, UpnpState::Mapped},
        {UpnpMapResult::NoGateway, UpnpState::NoGateway},
        {UpnpMapResult::Conflict, UpnpState::Conflict},
        {UpnpMapResult::Refused, UpnpState::Refused},
        {UpnpMapResult::CommunicationFailure, UpnpState::Failed},
        {-1, UpnpState::Failed},
        {99, UpnpState::Failed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UpnpStateFromMapStatus(c.status), c.state) << c.status;
}

} // namespace
} // namespace Velto::Corvane
