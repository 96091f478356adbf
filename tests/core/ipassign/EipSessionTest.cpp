// The DHCP switch over EtherNet/IP: the session joined in memory with the
// gateway's responder (the exact requests, the value read back, a gateway
// that refuses the Set), the answers a gateway may give in each step, and
// the timers and link failures with fake time.
#include <gtest/gtest.h>

#include "gateway/CEipResponder.h"
#include "core/ipassign/CEipSession.h"
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
    };
    const Message on{"DHCP已使能（配置控制读回为0x00000002）", "提示", MessageIcon::Information};
    const Message off{"DHCP已禁止，设备使用存储的IP地址（配置控制读回为0x00000000）", "提示",
                      MessageIcon::Information};
    const Message refused = ErrorMessage("设置DHCP失败：CIP通用状态0x0E（Attribute not settable）");
    const std::vector<Case> cases = {
        {true, 0, true, 2, on}, {false, 2, true, 0, off}, {true, 0, false, 0, refused}};
    for (const auto& c : cases) {
        Pair p(c.enable);
        p.gateway.configurationControl = c.before;
        p.gateway.configurationSettable = c.settable;
        p.Run(LinkEvent::Start());
        EXPECT_TRUE(p.session.Finished());
        EXPECT_EQ(p.session.Succeeded(), c.settable);
        EXPECT_EQ(p.gateway.configurationControl, c.after);
        EXPECT_EQ(p.shown, std::vector<Message>{c.shown});
    }
    // The requests byte for byte: RegisterSession, Get, Set (enable), Get.
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
            testsupport::Bytes(get)}));
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
