// The download session driven event by event, byte for byte.
#include <gtest/gtest.h>

#include "core/image/HexFile.h"
#include "core/image/ImageDecoder.h"
#include "core/link/CompileForDownload.h"
#include "core/link/DeviceFrames.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkTestSupport.h"

using namespace varnel;
using linktest::H;
using linktest::SoundImage;
using linktest::Then;
using linktest::TimedOut;
using A = LinkAction;
using E = LinkEvent;

namespace {

// The events of a one-piece download up to the restart question.
const std::vector<E> TO_QUESTION{E::Start(), E::Connected(), E::Answer(H("40 0b 99 99")),
                                 E::Timer(PAUSE_TIMER)};

TEST(LinkDownload, EventsGiveTheirActions)
{
    const std::vector<E> paused{E::Start(), E::Connected(), E::Answer(H("40 0b"))};
    const auto answered = [](const char* answer) {
        return std::vector<E>{E::Start(), E::Connected(), E::Answer(H(answer)),
                              E::Timer(PAUSE_TIMER)};
    };
    const LinkActions failed{A::Close(), A::Result(DownloadFailedMessage()), A::Finish(false)};
    Bytes crc = SoundImage(1);
    crc.back() ^= 1;
    struct Case {
        const char* name;
        Bytes image;
        std::vector<E> events;
        LinkActions last;  // the actions of the last event
        bool finished, succeeded, restart;
    } cases[] = {
        {"start: range, bar, connect, timer", SoundImage(400), {E::Start()},
         {A::Range(4), A::Progress(0), A::Connect(), A::Arm(CONNECT_TIMER, 3000)}, 0, 0, 0},
        {"connected: first piece, bar at 50 clamped", SoundImage(0), {E::Start(), E::Connected()},
         {A::Stop(CONNECT_TIMER), A::Progress(2), A::Send(PieceRequest(SoundImage(0), 0, 19)),
          A::Arm(ANSWER_TIMER, 5000), A::Progress(1)}, 0, 0, 0},
        {"answer: pause before the next piece", SoundImage(197), paused,
         {A::Stop(ANSWER_TIMER), A::Arm(PAUSE_TIMER, 300)}, 0, 0, 0},
        {"nothing goes out during the pause", SoundImage(197),
         Then(paused, {E::Answer(H("40 0b")), E::Timer(ANSWER_TIMER)}), {}, 0, 0, 0},
        {"next piece after the pause", SoundImage(197), Then(paused, {E::Timer(PAUSE_TIMER)}),
         {A::Send(PieceRequest(SoundImage(197), 1200, 1)), A::Arm(ANSWER_TIMER, 5000),
          A::Progress(2)}, 0, 0, 0},
        {"success: done, restart offered", SoundImage(1), TO_QUESTION,
         {A::Progress(2), A::Result(DownloadDoneMessage()), A::Ask(RestartAfterDownloadQuestion())},
         0, 1, 0},
        {"yes: restart request", SoundImage(1), Then(TO_QUESTION, {E::User(true)}),
         {A::Send(H("40 0c 00 00")), A::Close(), A::Finish(true)}, 1, 1, 1},
        {"no: no restart", SoundImage(1), Then(TO_QUESTION, {E::User(false)}),
         {A::Close(), A::Finish(true)}, 1, 1, 0},
        {"restart that cannot be handed over", SoundImage(1),
         Then(TO_QUESTION, {E::User(true), E::SendFailed()}),
         {A::Close(), A::Show(SendFailedMessage()), A::Finish(false)}, 1, 0, 0},
        {"events before the start", SoundImage(1), {E::Connected(), E::Answer(H("40 0b"))}, {},
         0, 0, 0},
        {"stray timers", SoundImage(1), {E::Start(), E::Timer(ANSWER_TIMER), E::Timer(99)}, {}, 0,
         0, 0},
        // The gate: an image the gateway would refuse is shown and never sent.
        {"refused image", crc, {E::Start()},
         {A::Show(CheckImage(crc).message()), A::Finish(false)}, 1, 0, 0},
        {"empty image", {}, {E::Start(), E::Connected()}, {}, 1, 0, 0},
        // The failure rows.
        {"refused", SoundImage(9), {E::Start(), E::ConnectFailed()}, linktest::Refused(), 1, 0, 0},
        {"connect time-out", SoundImage(9), {E::Start(), E::Timer(CONNECT_TIMER)},
         TimedOut(ConnectTimeoutMessage()), 1, 0, 0},
        {"no answer", SoundImage(9), {E::Start(), E::Connected(), E::Timer(ANSWER_TIMER)},
         TimedOut(NoAnswerMessage()), 1, 0, 0},
        {"closed, then no answer", SoundImage(9),
         {E::Start(), E::Connected(), E::PeerClosed(), E::Timer(ANSWER_TIMER)},
         TimedOut(NoAnswerMessage()), 1, 0, 0},
        {"send failed", SoundImage(9), {E::Start(), E::Connected(), E::SendFailed()},
         linktest::SendFailed(), 1, 0, 0},
        {"answer C0", SoundImage(9), answered("c0 0b"), failed, 1, 0, 0},
        {"garbage", SoundImage(9), answered("12 34 56"), failed, 1, 0, 0},
        {"half an answer", SoundImage(9), answered("40"), failed, 1, 0, 0},
        {"wrong code", SoundImage(9), answered("40 0c"), failed, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadSession s(c.image);
        EXPECT_EQ(linktest::Drive(s, c.events), c.last);
        EXPECT_EQ(s.Finished(), c.finished);
        EXPECT_EQ(s.Succeeded(), c.succeeded);
        EXPECT_EQ(s.RestartRequested(), c.restart);
        // Whatever comes after the end is ignored.
        if (c.finished) {
            for (const E& e : {E::Timer(ANSWER_TIMER), E::Answer(H("40 0b")), E::User(true)})
                EXPECT_TRUE(s.Handle(e).empty());
        }
    }
}

TEST(LinkDownload, MessagesTheUserSees)
{
    const auto error = [](const char* text) { return Message{text, "错误", MessageIcon::Error}; };
    const std::pair<Message, Message> cases[] = {
        {EthernetFailedMessage(), error("以太网连接不通,请检查IP和PORT设置和设备是否正常运行")},
        {ConnectTimeoutMessage(), error("连接超时,请检查IP和PORT设置和设备是否正常运行")},
        {NoAnswerMessage(), error("主站没有响应")},
        {SendFailedMessage(), error("发送失败")},
        {DownloadFailedMessage(), Message{"下 载 失 败！", "", MessageIcon::None}},
        {DownloadDoneMessage(), Message{"下 载 完 毕！", "", MessageIcon::None}},
        {RestartAfterDownloadQuestion(),
         Message{"重启后配置才能生效 确实要重启设备吗？", "重启设备", MessageIcon::None}},
        {ClearQuestion(), Message{"确实要清除配置吗？", "清除配置", MessageIcon::None}},
        {RestartQuestion(), Message{"确实要重启设备吗？", "重启设备", MessageIcon::None}},
        // The clear's result is the text, with the generic caption.
        {ClearDoneMessage(), Message{"清除配置完成", "提示", MessageIcon::Information}},
        {ClearFailedMessage(), error("清除配置失败")},
    };
    for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

TEST(LinkDownload, CompiledImageGoesToTheLinkAsBuilt)
{
    testsupport::TempDir home;
    testsupport::MakeHome(home.path());
    CVarnelDoc doc = docfixtures::NewDoc({Port::COM1});
    doc.appFolder = home.str();
    const Result<Bytes> image = CompileForDownload(doc);
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(*image, BuildImage(doc));
    EXPECT_EQ(testsupport::ReadFile(home / "HEX" / "hex.txt"), FormatHexText(*image));
    // A serial-parameter module without its byte 2: the document's format
    // error, and the hex file stays as it was.
    doc.Slot(Port::COM1, 2).module.modulePrm.resize(2);
    EXPECT_EQ(CompileForDownload(doc).error(), Refuse(Code::ProjectFormat, "文档格式错误"));
    EXPECT_EQ(testsupport::ReadFile(home / "HEX" / "hex.txt"), FormatHexText(*image));
    // The gateway's address as every link dials it: decimal dotted text only.
    for (const char* text : {"127.010.4.1", "256.1.1.1", "1.2.3", "", "gateway.local"}) {
        doc.deviceIp = text;
        EXPECT_EQ(GatewayAddress(doc).code(), Code::BadAddress) << text;
    }
    doc.deviceIp = "127.10.4.1";
    EXPECT_EQ(GatewayAddress(doc).value(), 0x7F0A0401u);
}

}  // namespace
