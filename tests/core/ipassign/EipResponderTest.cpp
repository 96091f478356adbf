// The gateway side of the DHCP switch: the status a refused request gets, in
// the frame sizes a real adapter uses (24-byte encapsulation errors, 44-byte
// CIP errors), the status in words, and requests split over reads or joined
// in one.
#include <gtest/gtest.h>

#include "gateway/CEipResponder.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::Bytes;

namespace {

// A fresh gateway's first session handle.
const SessionHandle SESSION{0x01, 0x00, 0x01, 0x00};

// SendRRData with the given CIP request (service, path size, path, data).
std::vector<std::uint8_t> RR(const std::string& cipHex, const SessionHandle& s = SESSION)
{
    const auto cip = Bytes(cipHex);
    auto f = BuildGetConfigurationControl(s);  // its 40-byte head, then the CIP request
    f.resize(40);
    f.insert(f.end(), cip.begin(), cip.end());
    f[2] = static_cast<std::uint8_t>(16 + cip.size());  // encapsulation length
    f[38] = static_cast<std::uint8_t>(cip.size());      // data item length
    return f;
}

// A 24-byte header: command and length, the rest 0.
std::vector<std::uint8_t> Bare(const std::string& start)
{
    auto frame = Bytes(start);
    frame.resize(24);
    return frame;
}

}  // namespace

TEST(EipResponder, RefusalsAndFraming)
{
    auto badItem = RR("0e 03 20 f5 24 01 30 03");
    badItem[36] = 0xB1;  // connected data item instead of unconnected
    auto version2 = BuildRegisterSession();
    version2[24] = 2;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> request;
        std::size_t size;
        std::uint8_t status;  // CIP general status at 42, or encapsulation status at 8
    };
    const std::vector<Case> cases = {
        {"another class", RR("0e 03 20 f6 24 01 30 03"), 44, 0x05},
        {"another instance", RR("0e 03 20 f5 24 02 30 03"), 44, 0x05},
        {"unknown service", RR("4c 03 20 f5 24 01 30 03"), 44, 0x08},
        {"value out of range", RR("10 03 20 f5 24 01 30 03 07 00 00 00"), 44, 0x09},
        {"read-only attribute", RR("10 03 20 f5 24 01 30 01 00 00 00 00"), 44, 0x0E},
        {"value too short", RR("10 03 20 f5 24 01 30 03 02 00 00"), 44, 0x13},
        {"value too long", RR("10 03 20 f5 24 01 30 03 02 00 00 00 00"), 44, 0x15},
        {"unknown attribute", RR("0e 03 20 f5 24 01 30 09"), 44, 0x14},
        {"bad segment", RR("0e 03 20 f5 24 01 99 03"), 44, 0x04},
        {"path longer than data", RR("0e 05 20 f5 24 01 30 03"), 44, 0x04},
        {"unknown session", RR("0e 03 20 f5 24 01 30 03", {9, 9, 9, 9}), 24, 0x64},
        {"unknown command", Bare("63 00 00 00"), 24, 0x01},
        {"wrong data item", badItem, 24, 0x03},
        {"protocol version 2", version2, 28, 0x69},
        {"a length no request has", Bare("6f 00 ff ff"), 24, 0x65},
    };
    for (const auto& c : cases) {
        EipGatewayState state;
        CEipResponder responder(state);
        ASSERT_EQ(responder.OnBytes(BuildRegisterSession()).size(), 28u);
        const auto reply = responder.OnBytes(c.request);
        ASSERT_EQ(reply.size(), c.size) << c.what;
        EXPECT_EQ(reply[c.size == 44 ? 42 : 8], c.status) << c.what;
        if (c.size == 44) {
            EXPECT_EQ(reply[40], c.request[40] | 0x80) << c.what;
        }
        EXPECT_EQ(state.configurationControl, 0u) << c.what;
        EXPECT_EQ(responder.WantsClose(), c.status == 0x65) << c.what;
    }
    EXPECT_EQ(CipStatusText(0x08) + "|" + CipStatusText(0x09) + "|" + CipStatusText(0x99),
              "Service not supported|Invalid attribute value|Unknown CIP status");

    EipGatewayState state;
    CEipResponder responder(state);
    responder.OnBytes(BuildRegisterSession());
    // A Set and a Get in one segment, then a Get split in two.
    auto both = BuildSetConfigurationControl(SESSION, 2);
    auto get = BuildGetConfigurationControl(SESSION);
    both.insert(both.end(), get.begin(), get.end());
    auto replies = responder.OnBytes(both);
    ASSERT_EQ(replies.size(), 44u + 48u);
    EXPECT_EQ(replies[42], 0);
    EXPECT_EQ(std::vector(replies.end() - 4, replies.end()), Bytes("02 00 00 00"));
    EXPECT_TRUE(responder.OnBytes(std::span(get).first(30)).empty());
    EXPECT_EQ(responder.OnBytes(std::span(get).subspan(30)).size(), 48u);
}
