// Clear configuration and restart driven event by event.
#include <gtest/gtest.h>

#include "core/link/DeviceCommandSession.h"
#include "core/link/LinkMessages.h"
#include "core/link/LinkPrint.h"
#include "support/TestSupport.h"

using namespace varnel;
namespace {
varnel::Bytes H(const std::string& hex) { return testsupport::Bytes(hex); }
}  // namespace

namespace {
LinkActions ConnectedSession(DeviceCommandSession& s)
{
    s.Handle(LinkEvent::Start());
    s.Handle(LinkEvent::User(true));
    return s.Handle(LinkEvent::Connected());
}
}  // namespace

TEST(LinkCommand, AsksFirstAndNoSendsNothing)
{
    for (int command : {DeviceCommandSession::CLEAR, DeviceCommandSession::RESTART}) {
        DeviceCommandSession s(command);
        auto ask = s.Handle(LinkEvent::Start());
        ASSERT_EQ(ask.size(), 1u);
        EXPECT_EQ(ask[0].kind, LinkAction::Kind::Ask);
        EXPECT_EQ(ask[0].message.text,
                  command == DeviceCommandSession::CLEAR ? "确实要清除配置吗？" : "确实要重启设备吗？");
        EXPECT_EQ(ask[0].message.caption,
                  command == DeviceCommandSession::CLEAR ? "清除配置" : "重启设备");
        EXPECT_EQ(s.Handle(LinkEvent::User(false)), (LinkActions{LinkAction::Finish(false)}));
        EXPECT_TRUE(s.Declined());
        EXPECT_TRUE(s.Finished());
    }
}

TEST(LinkCommand, YesConnectsThenSendsTheCommand)
{
    struct Case {
        int command;
        const char* request;
    };
    for (const Case& c : {Case{DeviceCommandSession::CLEAR, "40 0d 00 00"},
                          Case{DeviceCommandSession::RESTART, "40 0c 00 00"}}) {
        DeviceCommandSession s(c.command);
        s.Handle(LinkEvent::Start());
        EXPECT_EQ(s.Handle(LinkEvent::User(true)),
                  (LinkActions{LinkAction::Connect(), LinkAction::Arm(CONNECT_TIMER, 3000)}));
        EXPECT_EQ(s.Handle(LinkEvent::Connected()),
                  (LinkActions{LinkAction::Stop(CONNECT_TIMER), LinkAction::Send(H(c.request)),
                               LinkAction::Arm(ANSWER_TIMER, 5000)}));
    }
}

TEST(LinkCommand, WithoutQuestionStartConnectsAtOnce)
{
    DeviceCommandSession s(DeviceCommandSession::CLEAR, false);
    EXPECT_EQ(s.Handle(LinkEvent::Start()),
              (LinkActions{LinkAction::Connect(), LinkAction::Arm(CONNECT_TIMER, 3000)}));
}

TEST(LinkCommand, AnswersOfClearAndRestart)
{
    struct Case {
        int command;
        const char* answer;
        std::optional<Message> shown;
        bool ok;
    };
    const Case cases[] = {
        {DeviceCommandSession::CLEAR, "40 0d", ClearDoneMessage(), true},
        {DeviceCommandSession::CLEAR, "40 0d 01 02", ClearDoneMessage(), true},
        {DeviceCommandSession::CLEAR, "c0 0d", ClearFailedMessage(), false},
        {DeviceCommandSession::CLEAR, "40 0c", std::nullopt, false},
        {DeviceCommandSession::CLEAR, "40", std::nullopt, false},
        {DeviceCommandSession::RESTART, "40 0c", std::nullopt, true},
        {DeviceCommandSession::RESTART, "c0 0c", std::nullopt, true},
        // An answer 40 0D to a restart is shown as a completed clear.
        {DeviceCommandSession::RESTART, "40 0d", ClearDoneMessage(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.command) + " " + c.answer);
        DeviceCommandSession s(c.command);
        ConnectedSession(s);
        LinkActions expected{LinkAction::Stop(ANSWER_TIMER)};
        if (c.shown)
            expected.push_back(LinkAction::Show(*c.shown));
        expected.push_back(LinkAction::ClearQueue());
        expected.push_back(LinkAction::Close());
        expected.push_back(LinkAction::Finish(c.ok));
        EXPECT_EQ(s.Handle(LinkEvent::Answer(H(c.answer))), expected);
        EXPECT_EQ(s.Succeeded(), c.ok);
    }
}

TEST(LinkCommand, ClearResultIsTheTextWithGenericCaption)
{
    EXPECT_EQ(ClearDoneMessage(), (Message{"清除配置完成", "提示", MessageIcon::Information}));
    EXPECT_EQ(ClearFailedMessage(), (Message{"清除配置失败", "错误", MessageIcon::Error}));
}

TEST(LinkCommand, TimeoutsAreReportedWithTheDownloadTexts)
{
    for (int command : {DeviceCommandSession::CLEAR, DeviceCommandSession::RESTART}) {
        DeviceCommandSession a(command);
        a.Handle(LinkEvent::Start());
        a.Handle(LinkEvent::User(true));
        EXPECT_EQ(a.Handle(LinkEvent::Timer(CONNECT_TIMER)),
                  (LinkActions{LinkAction::Stop(CONNECT_TIMER), LinkAction::Stop(ANSWER_TIMER),
                               LinkAction::ClearQueue(), LinkAction::Close(),
                               LinkAction::Show(ConnectTimeoutMessage()),
                               LinkAction::Finish(false)}));
        DeviceCommandSession b(command);
        ConnectedSession(b);
        auto acts = b.Handle(LinkEvent::Timer(ANSWER_TIMER));
        ASSERT_GE(acts.size(), 2u);
        EXPECT_EQ(acts[acts.size() - 2], LinkAction::Show(NoAnswerMessage()));
        EXPECT_EQ(acts.back(), LinkAction::Finish(false));
    }
}

TEST(LinkCommand, ConnectFailureAndSendFailure)
{
    DeviceCommandSession a(DeviceCommandSession::CLEAR);
    a.Handle(LinkEvent::Start());
    a.Handle(LinkEvent::User(true));
    EXPECT_EQ(a.Handle(LinkEvent::ConnectFailed()),
              (LinkActions{LinkAction::Close(), LinkAction::Stop(CONNECT_TIMER),
                           LinkAction::Show(EthernetFailedMessage()), LinkAction::Finish(false)}));
    DeviceCommandSession b(DeviceCommandSession::RESTART);
    ConnectedSession(b);
    EXPECT_EQ(b.Handle(LinkEvent::SendFailed()),
              (LinkActions{LinkAction::Stop(ANSWER_TIMER), LinkAction::Close(),
                           LinkAction::Show(SendFailedMessage()), LinkAction::Finish(false)}));
}

TEST(LinkCommand, DroppedConnectionCompletesARestartButNotAClear)
{
    DeviceCommandSession restart(DeviceCommandSession::RESTART);
    ConnectedSession(restart);
    auto acts = restart.Handle(LinkEvent::PeerClosed());
    ASSERT_FALSE(acts.empty());
    EXPECT_EQ(acts.back(), LinkAction::Finish(true));
    for (const auto& a : acts)
        EXPECT_NE(a.kind, LinkAction::Kind::Show);

    DeviceCommandSession clear(DeviceCommandSession::CLEAR);
    ConnectedSession(clear);
    EXPECT_TRUE(clear.Handle(LinkEvent::PeerClosed()).empty());
    EXPECT_FALSE(clear.Finished());
}
