// The DHCP switch over EtherNet/IP: the exact requests, the reply frames a
// gateway gives (including its short error frames), the timers and the
// outcome told to the user.
#include <gtest/gtest.h>

#include "core/ipassign/CEipSession.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::Bytes;

namespace {

// RegisterSession reply: command, length 4, session handle 0x44332211, status
// 0, sender context, options, then protocol version 1 and flags 0.
const auto REGISTER_REPLY = Bytes("65 00 04 00 11 22 33 44 00 00 00 00"
                                  "00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00");

// A SendRRData reply (encapsulation length, status 0) with interface handle 0,
// timeout 0, a null address item and an unconnected data item holding `cip`.
std::vector<std::uint8_t> CipReplyFrame(const std::string& length, const std::string& itemLength,
                                        const std::string& cip)
{
    return Bytes("6f 00" + length + "11 22 33 44 00 00 00 00 00 00 00 00 00 00 00 00"
                 "00 00 00 00 00 00 00 00 00 00 02 00 00 00 00 00 b2 00" + itemLength + cip);
}

// Get reply: 8E service reply, 00 reserved, 00 status, 00 no additional status, value.
std::vector<std::uint8_t> GetReply(const std::string& value)
{
    return CipReplyFrame("18 00", "08 00", "8e 00 00 00" + value);
}
const auto SET_REPLY = CipReplyFrame("14 00", "04 00", "90 00 00 00");  // 44 bytes

EipAction Act(EipAction::Kind kind, int timer = 0, int milliseconds = 0)
{
    EipAction a;
    a.kind = kind;
    a.timer = timer;
    a.milliseconds = milliseconds;
    return a;
}
const EipAction STOP_CONNECT_TIMER = Act(EipAction::StopTimer, 10);
const EipAction STOP_ANSWER_TIMER = Act(EipAction::StopTimer, 2);
const EipAction ARM_ANSWER_TIMER = Act(EipAction::ArmTimer, 2, 5000);

// The answer to one request taken: the next request sent, its answer timed.
EipActions NextRequest(const std::vector<std::uint8_t>& request)
{
    EipAction send;
    send.bytes = request;
    return {STOP_ANSWER_TIMER, send, ARM_ANSWER_TIMER};
}

// How the exchange ended, with the timer stops left out.
EipActions Ending(EipActions actions)
{
    std::erase_if(actions, [](const EipAction& a) { return a.kind == EipAction::StopTimer; });
    return actions;
}

// The exchange closed with `message` told.
EipActions Ended(const Message& message, bool success)
{
    EipActions a{Act(EipAction::Close), Act(EipAction::Tell), Act(EipAction::Finish)};
    a[1].message = message;
    a[2].success = success;
    return a;
}

// A session brought to the given state by a well-behaved gateway.
CEipSession SessionIn(int state, bool enable = true)
{
    CEipSession s;
    s.Start(enable);
    s.OnConnected();
    if (state >= CEipSession::READING)
        s.OnBytes(REGISTER_REPLY);
    if (state >= CEipSession::WRITING)
        s.OnBytes(GetReply("00 00 00 00"));
    if (state >= CEipSession::READING_BACK)
        s.OnBytes(SET_REPLY);
    return s;
}

}  // namespace

TEST(EipSession, EnableExchangeByteForByte)
{
    CEipSession s;
    EXPECT_EQ(s.dhcpLinkState, -1);
    EXPECT_EQ(s.Start(true), EipActions{Act(EipAction::ArmTimer, 10, 3000)});
    auto connected = NextRequest(Bytes("65 00 04 00 00 00 00 00 00 00 00 00"
                                       "00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00"));
    connected[0] = STOP_CONNECT_TIMER;
    EXPECT_EQ(s.OnConnected(), connected);
    EXPECT_EQ(s.dhcpLinkState, 0);

    // The reply arrives in two pieces: nothing happens until it is whole.
    EXPECT_TRUE(s.OnBytes(std::span(REGISTER_REPLY).first(10)).empty());
    EXPECT_EQ(s.OnBytes(std::span(REGISTER_REPLY).subspan(10)),
              NextRequest(Bytes("6f 00 18 00 11 22 33 44 00 00 00 00"
                                "00 00 00 00 00 00 00 00 00 00 00 00"
                                "00 00 00 00 00 04 02 00 00 00 00 00 b2 00 08 00"
                                "0e 03 20 f5 24 01 30 03")));
    EXPECT_EQ(s.sessionHandle, (SessionHandle{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(s.dhcpLinkState, 1);

    EXPECT_EQ(s.OnBytes(GetReply("00 00 00 00")),
              NextRequest(Bytes("6f 00 1c 00 11 22 33 44 00 00 00 00"
                                "00 00 00 00 00 00 00 00 00 00 00 00"
                                "00 00 00 00 00 04 02 00 00 00 00 00 b2 00 0c 00"
                                "10 03 20 f5 24 01 30 03 02 00 00 00")));
    EXPECT_EQ(s.dhcpLinkState, 2);

    // After the Set, the value is read back with a second Get.
    const auto get = BuildGetConfigurationControl(s.sessionHandle);
    EXPECT_EQ(get.size(), 48u);
    EXPECT_EQ(s.OnBytes(SET_REPLY), NextRequest(get));
    EXPECT_EQ(Ending(s.OnBytes(GetReply("02 00 00 00"))),
              Ended({"DHCP已使能（配置控制读回为0x00000002）", "提示", MessageIcon::Information},
                    true));
    EXPECT_TRUE(s.finished);
    // Anything arriving afterwards is dropped.
    EXPECT_TRUE(s.OnBytes(SET_REPLY).empty());
}

TEST(EipSession, DisableSendsZeroAndReportsStoredAddress)
{
    auto s = SessionIn(CEipSession::READING, false);
    const auto set = s.OnBytes(GetReply("02 00 00 00"));
    ASSERT_EQ(set.size(), 3u);
    ASSERT_EQ(set[1].bytes.size(), 52u);
    EXPECT_EQ(std::vector(set[1].bytes.begin() + 48, set[1].bytes.end()), Bytes("00 00 00 00"));
    s.OnBytes(SET_REPLY);
    EXPECT_EQ(Ending(s.OnBytes(GetReply("00 00 00 00"))),
              Ended({"DHCP已禁止，设备使用存储的IP地址（配置控制读回为0x00000000）", "提示",
                     MessageIcon::Information},
                    true));
}

TEST(EipSession, RefusedStepsEndAtOnceWithTheStatusInWords)
{
    struct Case {
        const char* what;
        int state;
        std::vector<std::uint8_t> reply;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"session handle 0", CEipSession::REGISTERING,
         Bytes("65 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
               "01 00 00 00"),
         "注册会话失败：会话句柄为0"},
        {"24-byte encapsulation error", CEipSession::READING,
         Bytes("6f 00 00 00 11 22 33 44 64 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),
         "读取DHCP设置失败：封装状态0x0064（Invalid session handle）"},
        {"unsupported protocol", CEipSession::REGISTERING,
         Bytes("65 00 04 00 00 00 00 00 69 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
               "01 00 00 00"),
         "注册会话失败：封装状态0x0069（Unsupported protocol version）"},
        {"CIP 0x05", CEipSession::READING, CipReplyFrame("14 00", "04 00", "8e 00 05 00"),
         "读取DHCP设置失败：CIP通用状态0x05（Path destination unknown）"},
        {"CIP 0x08", CEipSession::WRITING, CipReplyFrame("14 00", "04 00", "90 00 08 00"),
         "设置DHCP失败：CIP通用状态0x08（Service not supported）"},
        {"CIP 0x09", CEipSession::WRITING, CipReplyFrame("14 00", "04 00", "90 00 09 00"),
         "设置DHCP失败：CIP通用状态0x09（Invalid attribute value）"},
        {"CIP 0x0E", CEipSession::WRITING, CipReplyFrame("14 00", "04 00", "90 00 0e 00"),
         "设置DHCP失败：CIP通用状态0x0E（Attribute not settable）"},
        {"CIP 0x14", CEipSession::READING_BACK, CipReplyFrame("14 00", "04 00", "8e 00 14 00"),
         "读回DHCP设置失败：CIP通用状态0x14（Attribute not supported）"},
        {"additional status word", CEipSession::WRITING,
         CipReplyFrame("16 00", "06 00", "90 00 0c 01 34 12"),  // size 1, word 0x1234
         "设置DHCP失败：CIP通用状态0x0C（Object state conflict），附加状态0x1234"},
        {"additional status size past the item", CEipSession::WRITING,
         CipReplyFrame("16 00", "06 00", "90 00 0c 02 34 12"),  // claims 2 words, has 1
         "设置DHCP失败：应答格式错误"},
        {"item length past the frame", CEipSession::READING,
         CipReplyFrame("14 00", "08 00", "8e 00 00 00"),
         "读取DHCP设置失败：应答格式错误"},
        {"wrong command", CEipSession::REGISTERING, SET_REPLY, "注册会话失败：应答格式错误"},
        {"reply to another service", CEipSession::WRITING, GetReply("02 00 00 00"),
         "设置DHCP失败：应答格式错误"},
        {"read back without value", CEipSession::READING_BACK,
         CipReplyFrame("14 00", "04 00", "8e 00 00 00"), "读回DHCP设置失败：应答格式错误"},
        {"value not switched", CEipSession::READING_BACK, GetReply("00 00 00 00"),
         "DHCP未切换：配置控制读回为0x00000000，应为0x00000002"},
    };
    for (const auto& c : cases) {
        auto s = SessionIn(c.state);
        ASSERT_EQ(s.dhcpLinkState, c.state) << c.what;
        EXPECT_EQ(Ending(s.OnBytes(c.reply)), Ended(ErrorMessage(c.text), false)) << c.what;
        EXPECT_TRUE(s.finished) << c.what;
    }
}

TEST(EipSession, TimersAndConnectFailure)
{
    CEipSession s;
    s.Start(true);
    EXPECT_EQ(Ending(s.OnTimer(10)),
              Ended(ErrorMessage("连接超时,请检查IP和PORT设置和设备是否正常运行"), false));
    // A late connect after the time-out is not acted on.
    EXPECT_TRUE(s.OnConnected().empty());

    s.Start(false);
    EXPECT_EQ(Ending(s.OnConnectFailed()),
              Ended(ErrorMessage("以太网连接不通,请检查IP和PORT设置和设备是否正常运行"), false));

    // A reply whose length field promises more than ever arrives: only the
    // answer timer ends it; nothing is read past what arrived.
    s = SessionIn(CEipSession::READING);
    auto cut = GetReply("02 00 00 00");
    cut.resize(44);
    EXPECT_TRUE(s.OnBytes(cut).empty());
    EXPECT_EQ(s.OnPeerClosed(), EipActions{Act(EipAction::Close)});
    EXPECT_EQ(Ending(s.OnTimer(2)), Ended(ErrorMessage("设备没有响应"), false));
    EXPECT_EQ(s.OnTimer(2), EipActions{STOP_ANSWER_TIMER});  // only stops the timer once finished

    s = SessionIn(CEipSession::WRITING);
    EXPECT_EQ(Ending(s.OnSendFailed()), Ended(ErrorMessage("发送失败"), false));
}
