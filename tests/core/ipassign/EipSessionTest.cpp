// The DHCP switch over EtherNet/IP: the session joined in memory with the
// gateway's responder (the exact requests, the value read back, a gateway
// that refuses the Set), the answers a gateway may give in each step, and
// the timers and link failures with fake time.
#include <gtest/gtest.h>

#include "core/ipassign/CEipSession.h"
#include "gateway/CEipResponder.h"
#include "support/TestSupport.h"

using namespace varnel;
using Hex = std::string;

namespace {

// A session and a gateway joined without sockets: each request goes to the
// responder, its reply (one frame) comes back as the Answer.
struct Pair {
    CEipSession session;
    EipGatewayState gateway;
    CEipResponder responder{gateway};
    std::vector<Bytes> sent;
    std::vector<Message> shown;
    // Answers the responder gives before the test takes over (-1: all), and
    // whether the connection is made.
    int answers = -1;
    bool connects = true;

    explicit Pair(bool enable) : session(enable) {}
    void Run(const LinkEvent& event)
    {
        for (const LinkAction& a : session.Handle(event)) {
            if (a.kind == LinkAction::Kind::Connect && connects) Run(LinkEvent::Connected());
            if (a.kind == LinkAction::Kind::Show) shown.push_back(a.message);
            if (a.kind != LinkAction::Kind::SendRequest || answers-- == 0) continue;
            sent.push_back(a.data);
            Run(LinkEvent::Answer(responder.OnBytes(a.data)));  // one whole frame
        }
    }
};

// 24-byte header of a reply (command, length), session 11 22 33 44, status 0.
Hex Head(const Hex& command, const Hex& length, const Hex& status = "00 00 00 00")
{
    return command + length + "11 22 33 44" + status + "00 00 00 00 00 00 00 00 00 00 00 00";
}
// A SendRRData reply carrying `cip` in its unconnected data item.
Bytes RR(const Hex& length, const Hex& itemLength, const Hex& cip)
{
    return testsupport::Bytes(Head("6f 00", length) + "00 00 00 00 00 00 02 00 00 00 00 00 b2 00" +
                              itemLength + cip);
}

}  // namespace

TEST(EipSession, PairWithTheGateway)
{
    struct Case {
        bool enable;
        std::uint32_t before;
        bool settable;
        std::uint32_t after;
        Message shown;
        bool hasInterfaceConfiguration = true;
    };
    const Message on{
        "DHCP已使能（配置控制读回为0x00000002）\n下次上电使用 IP 192.168.10.20 掩码 "
        "255.255.255.0 网关 192.168.10.1 (next power-up: IP 192.168.10.20, mask "
        "255.255.255.0, gateway 192.168.10.1)",
        "提示", MessageIcon::Information};
    // A gateway without attribute 5: the switch is made, the next address unknown.
    const Message off{
        "DHCP已禁止，设备使用存储的IP地址（配置控制读回为0x00000000）\n"
        "下次上电使用的地址未知 (next power-up address unknown)",
        "提示", MessageIcon::Information};
    const Message refused = ErrorMessage("设置DHCP失败：CIP通用状态0x0E（Attribute not settable）");
    const std::vector<Case> cases = {
        {true, 0, true, 2, on}, {false, 2, true, 0, off, false}, {true, 0, false, 0, refused}};
    for (const auto& c : cases) {
        Pair p(c.enable);
        p.gateway.configurationControl = c.before;
        p.gateway.configurationSettable = c.settable;
        p.gateway.hasInterfaceConfiguration = c.hasInterfaceConfiguration;
        p.Run(LinkEvent::Start());
        EXPECT_TRUE(p.session.Finished());
        EXPECT_EQ(p.session.Succeeded(), c.settable);
        EXPECT_EQ(p.gateway.configurationControl, c.after);
        EXPECT_EQ(p.shown, std::vector<Message>{c.shown});
    }
    // The requests byte for byte: RegisterSession, Get, Set (enable), Get, Get attribute 5.
    Pair p(true);
    p.Run(LinkEvent::Start());
    const Hex head =
        "01 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
        "00 00 00 00 00 04 02 00 00 00 00 00 b2 00";
    const Hex get = "6f 00 18 00" + head + "08 00 0e 03 20 f5 24 01 30 03";
    EXPECT_EQ(
        p.sent,
        (std::vector<Bytes>{
            testsupport::Bytes("65 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00"
                               "00 00 00 00 00 00 00 00 01 00 00 00"),
            testsupport::Bytes(get),
            testsupport::Bytes("6f 00 1c 00" + head + "0c 00 10 03 20 f5 24 01 30 03 02 00 00 00"),
            testsupport::Bytes(get), testsupport::Bytes(get.substr(0, get.size() - 2) + "05")}));
}

// After the switch, attribute 5 as the gateway sends it (UDINTs little-endian:
// 192.168.10.20 arrives as 14 0A A8 C0), or "unknown" whatever goes wrong in
// that step: the switch has succeeded.
TEST(EipSession, NextPowerUpAddressOrUnknown)
{
    using E = LinkEvent;
    const std::string unknown = "下次上电使用的地址未知 (next power-up address unknown)";
    const std::vector<std::pair<std::vector<E>, std::string>> cases = {
        {{E::Answer(RR("20 00", "10 00", "8e 00 00 00 14 0a a8 c0 00 00 ff ff 01 00 00 0a"))},
         "下次上电使用 IP 192.168.10.20 掩码 255.255.0.0 网关 10.0.0.1 (next power-up: IP "
         "192.168.10.20, mask 255.255.0.0, gateway 10.0.0.1)"},
        {{E::Answer(RR("14 00", "04 00", "8e 00 08 00"))}, unknown},
        {{E::Answer(RR("14 00", "04 00", "8e 00 14 00"))}, unknown},
        {{E::Answer(RR("18 00", "08 00", "8e 00 00 00 14 0a a8 c0"))},
         unknown + "：读取接口配置失败：应答格式错误"},
        {{E::Answer(RR("14 00", "04 00", "8e 00 05 00"))},
         unknown + "：读取接口配置失败：CIP通用状态0x05（Path destination unknown）"},
        {{E::Timer(ANSWER_TIMER)}, unknown + "：设备没有响应"},
    };
    for (const auto& [events, text] : cases) {
        SCOPED_TRACE(text);
        Pair p(true);
        p.answers = 4;
        p.Run(E::Start());
        for (const auto& event : events) p.Run(event);
        ASSERT_EQ(p.shown.size(), 1u);
        EXPECT_EQ(p.shown[0].text, "DHCP已使能（配置控制读回为0x00000002）\n" + text);
        EXPECT_TRUE(p.session.Finished());
        EXPECT_TRUE(p.session.Succeeded());
    }
}

// Every failure ends the exchange at once with its message: refused or
// malformed answers in each step (the status in words), time-outs with fake
// time, a failed connect or send.
TEST(EipSession, FailuresEndTheExchangeWithTheirMessage)
{
    using E = LinkEvent;
    const auto answer = [](Bytes reply) { return std::vector<E>{E::Answer(std::move(reply))}; };
    struct Case {
        int answered;  // good answers before the events; -1: not even connected
        std::vector<E> events;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, answer(RR("14 00", "04 00", "90 00 00 00")), "注册会话失败：应答格式错误"},
        {0, answer(testsupport::Bytes(Head("65 00", "00 00", "69 00 00 00"))),
         "注册会话失败：封装状态0x0069（Unsupported protocol version）"},
        {0,
         answer(testsupport::Bytes("65 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                   "00 00 00 00 00 00 00 00 01 00 00 00")),
         "注册会话失败：会话句柄为0"},
        {1, answer(testsupport::Bytes(Head("6f 00", "00 00", "64 00 00 00"))),
         "读取DHCP设置失败：封装状态0x0064（Invalid session handle）"},
        {1, answer(RR("14 00", "04 00", "8e 00 05 00")),
         "读取DHCP设置失败：CIP通用状态0x05（Path destination unknown）"},
        {1, answer(RR("14 00", "08 00", "8e 00 00 00")), "读取DHCP设置失败：应答格式错误"},
        {2, answer(RR("16 00", "06 00", "90 00 0c 01 34 12")),
         "设置DHCP失败：CIP通用状态0x0C（Object state conflict），附加状态0x1234"},
        {2, answer(RR("16 00", "06 00", "90 00 0c 02 34 12")), "设置DHCP失败：应答格式错误"},
        {2, answer(RR("18 00", "08 00", "8e 00 00 00 02 00 00 00")), "设置DHCP失败：应答格式错误"},
        {3, answer(RR("14 00", "04 00", "8e 00 14 00")),
         "读回DHCP设置失败：CIP通用状态0x14（Attribute not supported）"},
        {3, answer(RR("14 00", "04 00", "8e 00 00 00")), "读回DHCP设置失败：应答格式错误"},
        {3, answer(RR("18 00", "08 00", "8e 00 00 00 00 00 00 00")),
         "DHCP未切换：配置控制读回为0x00000000，应为0x00000002"},
        {-1,
         {E::Timer(ANSWER_TIMER), E::Timer(CONNECT_TIMER), E::Connected()},
         "连接超时,请检查IP和PORT设置和设备是否正常运行"},
        {-1, {E::ConnectFailed()}, "以太网连接不通,请检查IP和PORT设置和设备是否正常运行"},
        // A hung-up gateway: only the answer timer ends the exchange.
        {1, {E::PeerClosed(), E::Timer(CONNECT_TIMER), E::Timer(ANSWER_TIMER)}, "设备没有响应"},
        {2, {E::SendFailed(), E::Timer(ANSWER_TIMER)}, "发送失败"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Pair p(true);
        p.answers = c.answered;
        p.connects = c.answered >= 0;
        p.Run(E::Start());
        ASSERT_FALSE(p.session.Finished());
        for (const auto& event : c.events) {
            if (event.kind == E::Kind::PeerClosed)
                EXPECT_EQ(p.session.Handle(event), LinkActions{LinkAction::Close()});
            else
                p.Run(event);
        }
        EXPECT_EQ(p.shown, std::vector<Message>{ErrorMessage(c.text)});
        EXPECT_TRUE(p.session.Finished());
        EXPECT_FALSE(p.session.Succeeded());
    }
    EXPECT_EQ(CEipSession(false).Handle(E::Start()),
              (LinkActions{LinkAction::Arm(CONNECT_TIMER, 3000), LinkAction::Connect()}));
}
