// The download session driven event by event, byte for byte.
#include <gtest/gtest.h>

#include "core/image/Compiler.h"
#include "core/image/HexFile.h"
#include "core/link/CompileForDownload.h"
#include "core/link/DeviceFrames.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkTestSupport.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"

using namespace varnel;
using linktest::H;
using linktest::Image;
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
    const LinkActions failed{A::Close(), A::Show(DownloadFailedMessage()), A::Finish(false)};
    struct Case {
        const char* name;
        std::size_t size;
        std::vector<E> events;
        LinkActions last;  // the actions of the last event
        bool finished, succeeded, restart;
    } cases[] = {
        {"start: range, bar, connect, timer", 2500, {E::Start()},
         {A::Range(4), A::Progress(0), A::Connect(), A::Arm(CONNECT_TIMER, 3000)}, 0, 0, 0},
        {"connected: first piece, bar at 50 clamped", 3, {E::Start(), E::Connected()},
         {A::Stop(CONNECT_TIMER), A::Progress(2), A::Send(H("40 0b 03 0a 11")),
          A::Arm(ANSWER_TIMER, 5000), A::Progress(1)}, 0, 0, 0},
        {"answer: pause before the next piece", 1201, paused,
         {A::Stop(ANSWER_TIMER), A::Arm(PAUSE_TIMER, 300)}, 0, 0, 0},
        {"nothing goes out during the pause", 1201,
         Then(paused, {E::Answer(H("40 0b")), E::Timer(ANSWER_TIMER)}), {}, 0, 0, 0},
        {"next piece after the pause", 1201, Then(paused, {E::Timer(PAUSE_TIMER)}),
         {A::Send(PieceRequest(Image(1201), 1200, 1)), A::Arm(ANSWER_TIMER, 5000),
          A::Progress(2)}, 0, 0, 0},
        {"success: done, restart offered", 5, TO_QUESTION,
         {A::Progress(2), A::Show(DownloadDoneMessage()), A::Ask(RestartAfterDownloadQuestion())},
         0, 1, 0},
        {"yes: restart request", 5, Then(TO_QUESTION, {E::User(true)}),
         {A::Send(H("40 0c 00 00")), A::Close(), A::Finish(true)}, 1, 1, 1},
        {"no: no restart", 5, Then(TO_QUESTION, {E::User(false)}), {A::Close(), A::Finish(true)},
         1, 1, 0},
        {"restart that cannot be handed over", 5,
         Then(TO_QUESTION, {E::User(true), E::SendFailed()}),
         {A::Close(), A::Show(SendFailedMessage()), A::Finish(false)}, 1, 0, 0},
        {"events before the start", 10, {E::Connected(), E::Answer(H("40 0b"))}, {}, 0, 0, 0},
        {"stray timers", 10, {E::Start(), E::Timer(ANSWER_TIMER), E::Timer(99)}, {}, 0, 0, 0},
        // The failure rows.
        {"refused", 2000, {E::Start(), E::ConnectFailed()}, linktest::Refused(), 1, 0, 0},
        {"connect time-out", 2000, {E::Start(), E::Timer(CONNECT_TIMER)},
         TimedOut(ConnectTimeoutMessage()), 1, 0, 0},
        {"no answer", 2000, {E::Start(), E::Connected(), E::Timer(ANSWER_TIMER)},
         TimedOut(NoAnswerMessage()), 1, 0, 0},
        {"closed, then no answer", 2000,
         {E::Start(), E::Connected(), E::PeerClosed(), E::Timer(ANSWER_TIMER)},
         TimedOut(NoAnswerMessage()), 1, 0, 0},
        {"send failed", 2000, {E::Start(), E::Connected(), E::SendFailed()},
         linktest::SendFailed(), 1, 0, 0},
        {"answer C0", 2000, answered("c0 0b"), failed, 1, 0, 0},
        {"garbage", 2000, answered("12 34 56"), failed, 1, 0, 0},
        {"half an answer", 2000, answered("40"), failed, 1, 0, 0},
        {"wrong code", 2000, answered("40 0c"), failed, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadSession s(Image(c.size));
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

TEST(LinkDownload, ImageFromHexFileOrCompile)
{
    testsupport::TempDir home;
    Bytes image;
    EXPECT_EQ(DownloadSession::ReadImage((home / "missing.txt").string(), image),
              ErrorMessage("你选择了下载空文件"));
    testsupport::WriteFile(home / "hex.txt", "01 02 ff ");
    EXPECT_FALSE(DownloadSession::ReadImage((home / "hex.txt").string(), image).has_value());
    EXPECT_EQ(image, H("01 02 ff"));

    testsupport::MakeHome(home.path());
    CVarnelDoc doc;
    doc.appFolder = home.str();
    SetupPort(doc, Port::COM1);
    ASSERT_FALSE(CompileForDownload(doc, image).has_value());
    EXPECT_EQ(image, BuildImage(doc));
    EXPECT_EQ(testsupport::ReadFile(home / "HEX" / "hex.txt"), FormatHexText(image));
    // A full rack: the compiler's refusal, and no image.
    doc.deviceSlotNum = 1;
    PlaceModule(doc, {Port::COM1, UserSlotIndex(1)}, LABEL_READ_COILS, 0, 1, 1);
    image.clear();
    const LegacyRefusal refusal = CompileForDownload(doc, image);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(refusal->text, "从站状态检测需要占用插槽");
    EXPECT_TRUE(image.empty());
}

}  // namespace
