#pragma once

#include "tests/support/netns_lab.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace Velto::Corvane::Testing {

// The scripted UPnP responder in a namespace pair made for one test: LAN
// 192.168.88.0/24, the responder at .1 (its description at
// http://192.168.88.1:5000/good.xml), the client namespace at .2 with its
// default route through the responder.
class ResponderLab {
public:
    static constexpr const char* kResponderLan = "192.168.88.1";
    static constexpr const char* kClientAddress = "192.168.88.2";

    // `addReplies`: the responder's comma list of AddPortMapping outcomes.
    // Call from the test's main thread (the responder is tied to it).
    ::testing::AssertionResult Start(const std::string& addReplies);

    // Lines of the responder's request log that contain `needle`.
    std::size_t Count(std::string_view needle) const;
    std::string Requests() const;
    // SSDP searches the responder has received.
    std::size_t Searches() const;

    NetnsLab lab;
    std::string gateway, client, log, searchLog;
    Velto::Testing::ChildProcess responder;
};

} // namespace Velto::Corvane::Testing
