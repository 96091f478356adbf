// The download and the device commands driven event by event, byte for byte:
// each row is the events fed and the actions of the last one.
#include <gtest/gtest.h>

#include "core/image/HexFile.h"
#include "core/image/ImageDecoder.h"
#include "core/link/CompileForDownload.h"
#include "core/link/DeviceCommandSession.h"
#include "core/link/DeviceFrames.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkTestSupport.h"

using namespace varnel;
using linktest::H;
using linktest::SoundImage;
using linktest::Then;
using A = LinkAction;
using E = LinkEvent;
using Events = std::vector<E>;

namespace {

// How a session ends on a time-out, a refused connect and a failed send.
LinkActions TimedOut(const Message& shown)
{
    return {A::Stop(CONNECT_TIMER), A::Stop(ANSWER_TIMER), A::ClearQueue(), A::Close(),
            A::Show(shown),         A::Finish(false)};
}
const LinkActions REFUSED{A::Close(), A::Stop(CONNECT_TIMER), A::Show(EthernetFailedMessage()),
                          A::Finish(false)};
const LinkActions SEND_FAILED{A::Stop(ANSWER_TIMER), A::Close(), A::Show(SendFailedMessage()),
                              A::Finish(false)};

TEST(LinkSessions, DownloadEventsGiveTheirActions)
{
    const Events paused{E::Start(), E::Connected(), E::Answer(H("40 0b"))};
    const Events question = Then(paused, {E::Timer(PAUSE_TIMER)});
    const auto answered = [](const char* answer) {
        return Events{E::Start(), E::Connected(), E::Answer(H(answer)), E::Timer(PAUSE_TIMER)};
    };
    const LinkActions failed{A::Close(), A::Result(DownloadFailedMessage()), A::Finish(false)};
    const Bytes one = SoundImage(1), many = SoundImage(197), empty = SoundImage(0);
    Bytes crc = one;
    crc.back() ^= 1;
    const struct {
        const char* name;
        Bytes image;
        Events events;
        LinkActions last;
        bool finished, succeeded, restart;
    } cases[] = {
        {"start: range, bar, connect, timer",
         SoundImage(400),
         {E::Start()},
         {A::Range(4), A::Progress(0), A::Connect(), A::Arm(CONNECT_TIMER, 3000)},
         0,
         0,
         0},
        {"connected: first piece, bar at 50 clamped",
         empty,
         {E::Start(), E::Connected()},
         {A::Stop(CONNECT_TIMER), A::Progress(2), A::Send(PieceRequest(empty, 0, 19)),
          A::Arm(ANSWER_TIMER, 5000), A::Progress(1)},
         0,
         0,
         0},
        {"answer: pause", many, paused, {A::Stop(ANSWER_TIMER), A::Arm(PAUSE_TIMER, 300)}, 0, 0, 0},
        {"nothing goes out during the pause",
         many,
         Then(paused, {E::Answer(H("40 0b")), E::Timer(ANSWER_TIMER)}),
         {},
         0,
         0,
         0},
        {"next piece after the pause",
         many,
         Then(paused, {E::Timer(PAUSE_TIMER)}),
         {A::Send(PieceRequest(many, 1200, 1)), A::Arm(ANSWER_TIMER, 5000), A::Progress(2)},
         0,
         0,
         0},
        {"success: done, restart offered",
         one,
         question,
         {A::Progress(2), A::Result(DownloadDoneMessage()), A::Ask(RestartAfterDownloadQuestion())},
         0,
         1,
         0},
        {"yes: restart request",
         one,
         Then(question, {E::User(true)}),
         {A::Send(H("40 0c 00 00")), A::Close(), A::Finish(true)},
         1,
         1,
         1},
        {"no: no restart",
         one,
         Then(question, {E::User(false)}),
         {A::Close(), A::Finish(true)},
         1,
         1,
         0},
        {"restart not handed over",
         one,
         Then(question, {E::User(true), E::SendFailed()}),
         {A::Close(), A::Show(SendFailedMessage()), A::Finish(false)},
         1,
         0,
         0},
        {"events before the start", one, {E::Connected(), E::Answer(H("40 0b"))}, {}, 0, 0, 0},
        {"stray timers", one, {E::Start(), E::Timer(ANSWER_TIMER), E::Timer(99)}, {}, 0, 0, 0},
        // The gate: an image the gateway would refuse is shown and never sent.
        {"refused image",
         crc,
         {E::Start()},
         {A::Show(CheckImage(crc).message()), A::Finish(false)},
         1,
         0,
         0},
        {"empty image", {}, {E::Start(), E::Connected()}, {}, 1, 0, 0},
        {"refused", one, {E::Start(), E::ConnectFailed()}, REFUSED, 1, 0, 0},
        {"connect time-out",
         one,
         {E::Start(), E::Timer(CONNECT_TIMER)},
         TimedOut(ConnectTimeoutMessage()),
         1,
         0,
         0},
        {"no answer",
         one,
         {E::Start(), E::Connected(), E::Timer(ANSWER_TIMER)},
         TimedOut(NoAnswerMessage()),
         1,
         0,
         0},
        {"closed, then no answer",
         one,
         {E::Start(), E::Connected(), E::PeerClosed(), E::Timer(ANSWER_TIMER)},
         TimedOut(NoAnswerMessage()),
         1,
         0,
         0},
        {"send failed", one, {E::Start(), E::Connected(), E::SendFailed()}, SEND_FAILED, 1, 0, 0},
        {"answer C0", one, answered("c0 0b"), failed, 1, 0, 0},
        {"garbage", one, answered("12 34 56"), failed, 1, 0, 0},
        {"half an answer", one, answered("40"), failed, 1, 0, 0},
        {"wrong code", one, answered("40 0c"), failed, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadSession s(c.image);
        EXPECT_EQ(linktest::Drive(s, c.events), c.last);
        EXPECT_EQ(std::make_tuple(s.Finished(), s.Succeeded(), s.RestartRequested()),
                  std::make_tuple(c.finished, c.succeeded, c.restart));
        // Whatever comes after the end is ignored.
        for (const E& e : {E::Timer(ANSWER_TIMER), E::Answer(H("40 0b")), E::User(true)})
            EXPECT_TRUE(!c.finished || s.Handle(e).empty());
    }
}

TEST(LinkSessions, DeviceCommandEventsGiveTheirActions)
{
    constexpr int CLEAR = DeviceCommandSession::CLEAR, RESTART = DeviceCommandSession::RESTART;
    const Events yes{E::Start(), E::User(true)};
    const Events connected = Then(yes, {E::Connected()});
    const auto answered = [&](const char* answer) {
        return Then(connected, {E::Answer(H(answer))});
    };
    // The actions that end a session on an answer, with `shown` if any.
    const auto end = [](std::optional<A> shown, bool ok) {
        LinkActions a{A::Stop(ANSWER_TIMER)};
        if (shown) a.push_back(*shown);
        for (const A& x : {A::ClearQueue(), A::Close(), A::Finish(ok)}) a.push_back(x);
        return a;
    };
    const A bad = A::Show(BadAnswerMessage());
    const LinkActions connect{A::Connect(), A::Arm(CONNECT_TIMER, 3000)};
    const LinkActions noAnswer = TimedOut(NoAnswerMessage());
    const struct {
        const char* name;
        int command;
        Events events;
        LinkActions last;
        bool finished, succeeded;
    } cases[] = {
        {"clear asks", CLEAR, {E::Start()}, {A::Ask(ClearQuestion())}, 0, 0},
        {"restart asks", RESTART, {E::Start()}, {A::Ask(RestartQuestion())}, 0, 0},
        {"no", CLEAR, {E::Start(), E::User(false)}, {A::Finish(false)}, 1, 0},
        {"yes connects", RESTART, yes, connect, 0, 0},
        {"clear request",
         CLEAR,
         connected,
         {A::Stop(CONNECT_TIMER), A::Send(H("40 0d 00 00")), A::Arm(ANSWER_TIMER, 5000)},
         0,
         0},
        {"restart request",
         RESTART,
         connected,
         {A::Stop(CONNECT_TIMER), A::Send(H("40 0c 00 00")), A::Arm(ANSWER_TIMER, 5000)},
         0,
         0},
        // Success only on 40 + the code sent; every failure says why.
        {"clear: 40 0D and more", CLEAR, answered("40 0d 01 02"),
         end(A::Result(ClearDoneMessage()), true), 1, 1},
        {"clear: C0 0D", CLEAR, answered("c0 0d"), end(A::Result(ClearFailedMessage()), false), 1,
         0},
        {"clear: other code", CLEAR, answered("40 0c"), end(bad, false), 1, 0},
        {"clear: half an answer", CLEAR, answered("40"), end(bad, false), 1, 0},
        {"clear: garbage", CLEAR, answered("5a a5"), end(bad, false), 1, 0},
        {"restart: 40 0C", RESTART, answered("40 0c"), end(std::nullopt, true), 1, 1},
        {"restart: C0 0C", RESTART, answered("c0 0c"),
         end(A::Result(RestartFailedMessage()), false), 1, 0},
        {"restart: 40 0D", RESTART, answered("40 0d"), end(bad, false), 1, 0},
        {"connect time-out", CLEAR, Then(yes, {E::Timer(CONNECT_TIMER)}),
         TimedOut(ConnectTimeoutMessage()), 1, 0},
        {"answer time-out", RESTART, Then(connected, {E::Timer(ANSWER_TIMER)}), noAnswer, 1, 0},
        {"refused", CLEAR, Then(yes, {E::ConnectFailed()}), REFUSED, 1, 0},
        {"send failed", RESTART, Then(connected, {E::SendFailed()}), SEND_FAILED, 1, 0},
        // A connection dropped before the restart's answer confirms nothing; a
        // clear waits for its answer.
        {"restart: dropped", RESTART, Then(connected, {E::PeerClosed()}), noAnswer, 1, 0},
        {"clear: dropped", CLEAR, Then(connected, {E::PeerClosed()}), {}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceCommandSession s(c.command);
        EXPECT_EQ(linktest::Drive(s, c.events), c.last);
        EXPECT_EQ(std::make_pair(s.Finished(), s.Succeeded()),
                  std::make_pair(c.finished, c.succeeded));
        EXPECT_EQ(s.Declined(), std::string(c.name) == "no");
    }
    DeviceCommandSession unasked(CLEAR, false);
    EXPECT_EQ(unasked.Handle(E::Start()), connect);
}

// The texts the upper layers' tests do not already spell out.
TEST(LinkSessions, MessagesTheUserSees)
{
    const std::pair<Message, const char*> cases[] = {
        {ConnectTimeoutMessage(), "连接超时,请检查IP和PORT设置和设备是否正常运行|错误"},
        {NoAnswerMessage(), "主站没有响应|错误"},
        {SendFailedMessage(), "发送失败|错误"},
        {DownloadFailedMessage(), "下 载 失 败！|"},
        {ClearDoneMessage(), "清除配置完成|提示"},  // the result is the text
        {ClearFailedMessage(), "清除配置失败|错误"},
    };
    for (const auto& [message, text] : cases) EXPECT_EQ(message.text + "|" + message.caption, text);
}

TEST(LinkSessions, CompiledImageGoesToTheLinkAsBuiltAtTheParsedAddress)
{
    testsupport::TempDir home;
    testsupport::MakeHome(home.path());
    CVarnelDoc doc = docfixtures::NewDoc({Port::COM1});
    doc.appFolder = home.str();
    const Result<Bytes> image = CompileForDownload(doc);
    EXPECT_EQ(image.value(), BuildImage(doc));
    EXPECT_EQ(testsupport::ReadFile(home / "HEX" / "hex.txt"), FormatHexText(*image));
    doc.deviceIp = "127.010.4.1";  // never dialled as octal, nor passed to a resolver
    EXPECT_EQ(GatewayAddress(doc).code(), Code::BadAddress);
    doc.deviceIp = "127.10.4.1";
    EXPECT_EQ(GatewayAddress(doc).value(), 0x7F0A0401u);
}

}  // namespace
