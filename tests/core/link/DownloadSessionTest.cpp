// The download session driven event by event, byte for byte.
#include <gtest/gtest.h>

#include "core/image/Compiler.h"
#include "core/image/HexFile.h"
#include "core/link/CompileForDownload.h"
#include "core/link/DeviceFrames.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/link/DownloadSession.h"
#include "core/link/LinkMessages.h"
#include "core/link/LinkPrint.h"
#include "support/TestSupport.h"

using namespace varnel;
namespace {
varnel::Bytes H(const std::string& hex) { return testsupport::Bytes(hex); }
}  // namespace
using K = LinkAction::Kind;

namespace {

varnel::Bytes Image(std::size_t size)
{
    varnel::Bytes image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return image;
}

const LinkAction* FindAction(const LinkActions& actions, K kind)
{
    for (const auto& a : actions)
        if (a.kind == kind)
            return &a;
    return nullptr;
}

std::vector<varnel::Bytes> Sent(const LinkActions& actions)
{
    std::vector<varnel::Bytes> sent;
    for (const auto& a : actions)
        if (a.kind == K::SendRequest)
            sent.push_back(a.data);
    return sent;
}

// Runs a download against a gateway that answers 40 0B to every piece; returns
// the pieces' data in order.
std::vector<varnel::Bytes> RunToEnd(DownloadSession& s, std::vector<int>* progress = nullptr)
{
    std::vector<varnel::Bytes> pieces;
    auto collect = [&](const LinkActions& acts) {
        for (const auto& a : acts) {
            if (a.kind == K::SendRequest)
                pieces.push_back(a.data);
            if (a.kind == K::SetProgress && progress)
                progress->push_back(a.value);
        }
    };
    collect(s.Handle(LinkEvent::Start()));
    collect(s.Handle(LinkEvent::Connected()));
    for (int guard = 0; guard < 100 && !FindAction({}, K::Ask); ++guard) {
        collect(s.Handle(LinkEvent::Answer(H("40 0b"))));
        LinkActions after = s.Handle(LinkEvent::Timer(PAUSE_TIMER));
        collect(after);
        if (FindAction(after, K::Ask))
            break;
    }
    return pieces;
}

}  // namespace

TEST(LinkDownload, StartSetsRangeConnectsAndArmsConnectTimer)
{
    DownloadSession s(Image(2500));
    EXPECT_EQ(s.Handle(LinkEvent::Start()),
              (LinkActions{LinkAction::Range(4), LinkAction::Progress(0), LinkAction::Connect(),
                           LinkAction::Arm(CONNECT_TIMER, 3000)}));
}

TEST(LinkDownload, ConnectedSendsFirstPieceWithBarAtFiftyClamped)
{
    DownloadSession s(Image(3));
    s.Handle(LinkEvent::Start());
    EXPECT_EQ(s.Handle(LinkEvent::Connected()),
              (LinkActions{LinkAction::Stop(CONNECT_TIMER), LinkAction::Progress(2),
                           LinkAction::Send(H("40 0b 03 0a 11")),
                           LinkAction::Arm(ANSWER_TIMER, 5000), LinkAction::Progress(1)}));
    EXPECT_TRUE(s.LastPieceSent());
}

TEST(LinkDownload, ImagesAreCutIntoPiecesOf1200)
{
    struct Case {
        std::size_t size;
        std::vector<std::size_t> pieces;
        int progressMax;
    };
    const Case cases[] = {
        {0, {0}, 2},       {1, {1}, 2},       {1199, {1199}, 2},        {1200, {1200}, 3},
        {1201, {1200, 1}, 3}, {2400, {1200, 1200}, 4}, {2401, {1200, 1200, 1}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const auto image = Image(c.size);
        DownloadSession s(image);
        EXPECT_EQ(s.ProgressMax(), c.progressMax);
        auto pieces = RunToEnd(s);
        ASSERT_EQ(pieces.size(), c.pieces.size());
        varnel::Bytes joined;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            ASSERT_GE(pieces[i].size(), 2u);
            EXPECT_EQ(pieces[i][0], 0x40);
            EXPECT_EQ(pieces[i][1], 0x0b);
            EXPECT_EQ(pieces[i].size() - 2, c.pieces[i]);
            joined.insert(joined.end(), pieces[i].begin() + 2, pieces[i].end());
        }
        EXPECT_EQ(joined, image);
        EXPECT_TRUE(s.Succeeded());
    }
}

TEST(LinkDownload, ProgressGoesFiftyThenOneTwoThenMax)
{
    DownloadSession s(Image(2401));
    std::vector<int> progress;
    RunToEnd(s, &progress);
    EXPECT_EQ(progress, (std::vector<int>{0, 4, 1, 2, 3, 4}));
}

TEST(LinkDownload, AnswerStopsTimerAndPausesBeforeNextPiece)
{
    DownloadSession s(Image(1201));
    s.Handle(LinkEvent::Start());
    s.Handle(LinkEvent::Connected());
    EXPECT_EQ(s.Handle(LinkEvent::Answer(H("40 0b"))),
              (LinkActions{LinkAction::Stop(ANSWER_TIMER), LinkAction::Arm(PAUSE_TIMER, 300)}));
    // Nothing goes out before the pause ends.
    EXPECT_TRUE(s.Handle(LinkEvent::Answer(H("40 0b"))).empty());
    EXPECT_TRUE(s.Handle(LinkEvent::Timer(ANSWER_TIMER)).empty());
    auto next = s.Handle(LinkEvent::Timer(PAUSE_TIMER));
    EXPECT_EQ(Sent(next), (std::vector<varnel::Bytes>{PieceRequest(Image(1201), 1200, 1)}));
}

TEST(LinkDownload, SuccessShowsDoneAndOffersRestart)
{
    DownloadSession s(Image(5));
    s.Handle(LinkEvent::Start());
    s.Handle(LinkEvent::Connected());
    s.Handle(LinkEvent::Answer(H("40 0b 99 99")));  // bytes after the two are ignored
    EXPECT_EQ(s.Handle(LinkEvent::Timer(PAUSE_TIMER)),
              (LinkActions{LinkAction::Progress(2), LinkAction::Show(DownloadDoneMessage()),
                           LinkAction::Ask(RestartAfterDownloadQuestion())}));
    EXPECT_FALSE(s.Finished());
    EXPECT_EQ(DownloadDoneMessage().text, "下 载 完 毕！");
    EXPECT_EQ(RestartAfterDownloadQuestion().text, "重启后配置才能生效 确实要重启设备吗？");
    EXPECT_EQ(RestartAfterDownloadQuestion().caption, "重启设备");
}

TEST(LinkDownload, RestartGoesOutOnlyOnYes)
{
    for (bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        DownloadSession s(Image(5));
        RunToEnd(s);
        auto acts = s.Handle(LinkEvent::User(yes));
        if (yes)
            EXPECT_EQ(acts, (LinkActions{LinkAction::Send(H("40 0c 00 00")),
                                         LinkAction::Close(), LinkAction::Finish(true)}));
        else
            EXPECT_EQ(acts, (LinkActions{LinkAction::Close(), LinkAction::Finish(true)}));
        EXPECT_EQ(s.RestartRequested(), yes);
        EXPECT_TRUE(s.Finished());
        EXPECT_TRUE(s.Succeeded());
        EXPECT_TRUE(s.Handle(LinkEvent::Answer(H("40 0c"))).empty());
    }
}

TEST(LinkDownload, RestartThatCannotBeHandedOverIsReported)
{
    DownloadSession s(Image(5));
    RunToEnd(s);
    s.Handle(LinkEvent::User(true));
    EXPECT_EQ(s.Handle(LinkEvent::SendFailed()),
              (LinkActions{LinkAction::Close(), LinkAction::Show(SendFailedMessage()),
                           LinkAction::Finish(false)}));
    EXPECT_FALSE(s.Succeeded());
    EXPECT_FALSE(s.RestartRequested());
}

// Each failure row: the events that lead there and the message the user sees.
TEST(LinkDownload, FailureRowsGiveTheirMessages)
{
    struct Case {
        const char* name;
        std::vector<LinkEvent> events;
        const char* text;
    };
    const Case cases[] = {
        {"refused", {LinkEvent::ConnectFailed()},
         "以太网连接不通,请检查IP和PORT设置和设备是否正常运行"},
        {"connect timeout", {LinkEvent::Timer(CONNECT_TIMER)},
         "连接超时,请检查IP和PORT设置和设备是否正常运行"},
        {"no answer", {LinkEvent::Connected(), LinkEvent::Timer(ANSWER_TIMER)}, "主站没有响应"},
        {"closed, then no answer",
         {LinkEvent::Connected(), LinkEvent::PeerClosed(), LinkEvent::Timer(ANSWER_TIMER)},
         "主站没有响应"},
        {"send failed", {LinkEvent::Connected(), LinkEvent::SendFailed()}, "发送失败"},
        {"answer C0",
         {LinkEvent::Connected(), LinkEvent::Answer(H("c0 0b")), LinkEvent::Timer(PAUSE_TIMER)},
         "下 载 失 败！"},
        {"garbage",
         {LinkEvent::Connected(), LinkEvent::Answer(H("12 34 56")),
          LinkEvent::Timer(PAUSE_TIMER)},
         "下 载 失 败！"},
        {"half an answer",
         {LinkEvent::Connected(), LinkEvent::Answer(H("40")), LinkEvent::Timer(PAUSE_TIMER)},
         "下 载 失 败！"},
        {"wrong code",
         {LinkEvent::Connected(), LinkEvent::Answer(H("40 0c")),
          LinkEvent::Timer(PAUSE_TIMER)},
         "下 载 失 败！"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadSession s(Image(2000));
        s.Handle(LinkEvent::Start());
        LinkActions last;
        for (const auto& e : c.events)
            last = s.Handle(e);
        const LinkAction* show = FindAction(last, K::Show);
        ASSERT_NE(show, nullptr);
        EXPECT_EQ(show->message.text, c.text);
        EXPECT_NE(FindAction(last, K::Close), nullptr);
        ASSERT_FALSE(last.empty());
        EXPECT_EQ(last.back(), LinkAction::Finish(false));
        EXPECT_TRUE(s.Finished());
        EXPECT_FALSE(s.Succeeded());
        EXPECT_TRUE(Sent(last).empty());
        // Whatever comes later is ignored.
        EXPECT_TRUE(s.Handle(LinkEvent::Timer(ANSWER_TIMER)).empty());
        EXPECT_TRUE(s.Handle(LinkEvent::Answer(H("40 0b"))).empty());
    }
}

TEST(LinkDownload, TimeoutsStopTimersAndDropTheQueue)
{
    DownloadSession s(Image(10));
    s.Handle(LinkEvent::Start());
    EXPECT_EQ(s.Handle(LinkEvent::Timer(CONNECT_TIMER)),
              (LinkActions{LinkAction::Stop(CONNECT_TIMER), LinkAction::Stop(ANSWER_TIMER),
                           LinkAction::ClearQueue(), LinkAction::Close(),
                           LinkAction::Show(ConnectTimeoutMessage()), LinkAction::Finish(false)}));
    EXPECT_EQ(ConnectTimeoutMessage().caption, "错误");
    EXPECT_EQ(ConnectTimeoutMessage().icon, MessageIcon::Error);
}

TEST(LinkDownload, EventsBeforeStartAndStrayTimersAreIgnored)
{
    DownloadSession s(Image(10));
    EXPECT_TRUE(s.Handle(LinkEvent::Connected()).empty());
    EXPECT_TRUE(s.Handle(LinkEvent::Answer(H("40 0b"))).empty());
    s.Handle(LinkEvent::Start());
    EXPECT_TRUE(s.Handle(LinkEvent::Timer(ANSWER_TIMER)).empty());
    EXPECT_TRUE(s.Handle(LinkEvent::Timer(99)).empty());
    EXPECT_FALSE(s.Finished());
}

TEST(LinkDownload, UnreadableHexFileIsTheEmptyFileMessage)
{
    testsupport::TempDir dir;
    varnel::Bytes image;
    auto refusal = DownloadSession::ReadImage((dir / "missing.txt").string(), image);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(*refusal, ErrorMessage("你选择了下载空文件"));
    testsupport::WriteFile(dir / "hex.txt", "01 02 ff ");
    EXPECT_FALSE(DownloadSession::ReadImage((dir / "hex.txt").string(), image).has_value());
    EXPECT_EQ(image, H("01 02 ff"));
}

TEST(LinkDownload, CompileForDownloadReadsBackWhatWasWritten)
{
    testsupport::TempDir home;
    testsupport::MakeHome(home.path());
    CVarnelDoc doc;
    doc.appFolder = home.str();
    SetupPort(doc, Port::COM1);
    varnel::Bytes image;
    ASSERT_FALSE(CompileForDownload(doc, image).has_value());
    EXPECT_EQ(image, BuildImage(doc));
    EXPECT_EQ(testsupport::ReadFile(home / "HEX" / "hex.txt"), FormatHexText(image));
    // A full rack: the compiler's refusal, and the old hex file stays.
    doc.deviceSlotNum = 1;
    PlaceModule(doc, LABEL_READ_COILS, 0, 1, 1);  // selection is on user slot 1
    image.clear();
    auto refusal = CompileForDownload(doc, image);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(refusal->text, "从站状态检测需要占用插槽");
    EXPECT_TRUE(image.empty());
}
