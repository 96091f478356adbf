// The gateway side of the DHCP switch: the status a request gets, and the
// frame sizes a real adapter uses (24-byte encapsulation errors, 44-byte CIP
// errors).
#include <gtest/gtest.h>

#include "core/ipassign/CEipResponder.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::Bytes;

namespace {

// A registered responder; the session handle is bytes 4-7 of its reply.
struct Gateway {
    EipGatewayState state;
    CEipResponder responder{state};
    SessionHandle session{};
    Gateway()
    {
        auto reply = responder.OnBytes(BuildRegisterSession());
        EXPECT_EQ(reply.size(), 28u);
        std::copy(reply.begin() + 4, reply.begin() + 8, session.begin());
    }
};

// SendRRData with the given CIP request (service, path size, path, data).
std::vector<std::uint8_t> RR(const SessionHandle& s, const std::string& cipHex)
{
    const auto cip = Bytes(cipHex);
    auto f = BuildGetConfigurationControl(s);  // its 40-byte head, then the CIP request
    f.resize(40);
    for (auto b : cip)
        f.push_back(b);
    f[2] = static_cast<std::uint8_t>(16 + cip.size());  // encapsulation length
    f[38] = static_cast<std::uint8_t>(cip.size());      // data item length
    return f;
}

}  // namespace

TEST(EipResponder, CipErrorsAre44ByteFrames)
{
    struct Case {
        const char* what;
        std::string cip;
        std::uint8_t status;
    };
    const std::vector<Case> cases = {
        {"another class", "0e 03 20 f6 24 01 30 03", 0x05},
        {"another instance", "0e 03 20 f5 24 02 30 03", 0x05},
        {"unknown service", "4c 03 20 f5 24 01 30 03", 0x08},
        {"value out of range", "10 03 20 f5 24 01 30 03 07 00 00 00", 0x09},
        {"read-only attribute", "10 03 20 f5 24 01 30 01 00 00 00 00", 0x0E},
        {"value too short", "10 03 20 f5 24 01 30 03 02 00 00", 0x13},
        {"value too long", "10 03 20 f5 24 01 30 03 02 00 00 00 00", 0x15},
        {"unknown attribute", "0e 03 20 f5 24 01 30 09", 0x14},
        {"bad segment", "0e 03 20 f5 24 01 99 03", 0x04},
        {"path longer than data", "0e 05 20 f5 24 01 30 03", 0x04},
    };
    for (const auto& c : cases) {
        Gateway g;
        auto reply = g.responder.OnBytes(RR(g.session, c.cip));
        ASSERT_EQ(reply.size(), 44u) << c.what;
        EXPECT_EQ(reply[40], Bytes(c.cip)[0] | 0x80) << c.what;
        EXPECT_EQ(reply[42], c.status) << c.what;
        EXPECT_EQ(reply[43], 0) << c.what;
        EXPECT_EQ(g.state.configurationControl, 0u) << c.what;
    }
}

TEST(EipResponder, EncapsulationErrorsAre24ByteFrames)
{
    Gateway g;
    const SessionHandle other{9, 9, 9, 9};
    struct Case {
        const char* what;
        std::vector<std::uint8_t> request;
        std::uint8_t status;
    };
    auto badItems = RR(g.session, "0e 03 20 f5 24 01 30 03");
    badItems[36] = 0xB1;  // connected data item instead of unconnected
    const std::vector<Case> cases = {
        {"unknown session", BuildGetConfigurationControl(other), 0x64},
        {"unknown command", Bytes("63 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                  "00 00 00 00"),
         0x01},
        {"wrong data item", badItems, 0x03},
    };
    for (const auto& c : cases) {
        auto reply = g.responder.OnBytes(c.request);
        ASSERT_EQ(reply.size(), 24u) << c.what;
        EXPECT_EQ(reply[8], c.status) << c.what;
        EXPECT_EQ(reply[2], 0) << c.what;  // length 0
    }
    auto v2 = BuildRegisterSession();
    v2[24] = 2;  // protocol version 2
    EXPECT_EQ(Gateway().responder.OnBytes(v2)[8], 0x69);
}

TEST(EipResponder, GetSetAndFramesSplitOrJoined)
{
    Gateway g;
    // A Set and a Get in one segment, then a Get split in two.
    auto both = BuildSetConfigurationControl(g.session, 2);
    auto get = BuildGetConfigurationControl(g.session);
    both.insert(both.end(), get.begin(), get.end());
    auto replies = g.responder.OnBytes(both);
    ASSERT_EQ(replies.size(), 44u + 48u);
    EXPECT_EQ(replies[42], 0);
    EXPECT_EQ(std::vector(replies.end() - 4, replies.end()), Bytes("02 00 00 00"));
    EXPECT_TRUE(g.responder.OnBytes(std::span(get).first(30)).empty());
    EXPECT_EQ(g.responder.OnBytes(std::span(get).subspan(30)).size(), 48u);
    // A length no request has is refused and the connection closed.
    auto reply = g.responder.OnBytes(Bytes("6f 00 ff ff"
                                           "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                           "00 00 00 00"));
    ASSERT_EQ(reply.size(), 24u);
    EXPECT_EQ(reply[8], 0x65);
    EXPECT_TRUE(g.responder.WantsClose());
}
