// Clear configuration and restart driven event by event.
#include <gtest/gtest.h>

#include "core/link/DeviceCommandSession.h"
#include "core/link/LinkMessages.h"
#include "core/link/LinkTestSupport.h"

using namespace varnel;
using linktest::H;
using linktest::Then;
using A = LinkAction;
using E = LinkEvent;

namespace {

constexpr int CLEAR = DeviceCommandSession::CLEAR;
constexpr int RESTART = DeviceCommandSession::RESTART;

TEST(LinkCommand, EventsGiveTheirActions)
{
    const std::vector<E> yes{E::Start(), E::User(true)};
    const std::vector<E> connected{E::Start(), E::User(true), E::Connected()};
    const auto answered = [&](const char* answer) {
        return std::vector<E>{E::Start(), E::User(true), E::Connected(), E::Answer(H(answer))};
    };
    // The actions that end a session on an answer, showing `shown` if set.
    const auto end = [](std::optional<A> shown, bool ok) {
        LinkActions a{A::Stop(ANSWER_TIMER)};
        if (shown) a.push_back(*shown);
        for (const A& x : {A::ClearQueue(), A::Close(), A::Finish(ok)}) a.push_back(x);
        return a;
    };
    const LinkActions connectTimeout = linktest::TimedOut(ConnectTimeoutMessage());
    const LinkActions noAnswer = linktest::TimedOut(NoAnswerMessage());
    struct Case {
        const char* name;
        int command;
        bool ask;
        std::vector<E> events;
        LinkActions last;
        bool finished, succeeded;
    } cases[] = {
        {"clear asks", CLEAR, true, {E::Start()}, {A::Ask(ClearQuestion())}, 0, 0},
        {"restart asks", RESTART, true, {E::Start()}, {A::Ask(RestartQuestion())}, 0, 0},
        {"clear: no", CLEAR, true, {E::Start(), E::User(false)}, {A::Finish(false)}, 1, 0},
        {"restart: no", RESTART, true, {E::Start(), E::User(false)}, {A::Finish(false)}, 1, 0},
        {"clear: yes connects", CLEAR, true, yes, {A::Connect(), A::Arm(CONNECT_TIMER, 3000)}, 0,
         0},
        {"restart: yes connects", RESTART, true, yes, {A::Connect(), A::Arm(CONNECT_TIMER, 3000)},
         0, 0},
        {"no question: start connects", CLEAR, false, {E::Start()},
         {A::Connect(), A::Arm(CONNECT_TIMER, 3000)}, 0, 0},
        {"clear request", CLEAR, true, connected,
         {A::Stop(CONNECT_TIMER), A::Send(H("40 0d 00 00")), A::Arm(ANSWER_TIMER, 5000)}, 0, 0},
        {"restart request", RESTART, true, connected,
         {A::Stop(CONNECT_TIMER), A::Send(H("40 0c 00 00")), A::Arm(ANSWER_TIMER, 5000)}, 0, 0},
        // Success only on 40 + the code sent; every failure says why.
        {"clear: 40 0D", CLEAR, true, answered("40 0d"), end(A::Result(ClearDoneMessage()), true),
         1, 1},
        {"clear: 40 0D and more", CLEAR, true, answered("40 0d 01 02"),
         end(A::Result(ClearDoneMessage()), true), 1, 1},
        {"clear: C0 0D", CLEAR, true, answered("c0 0d"), end(A::Result(ClearFailedMessage()), false),
         1, 0},
        {"clear: other code", CLEAR, true, answered("40 0c"), end(A::Show(BadAnswerMessage()), false),
         1, 0},
        {"clear: half an answer", CLEAR, true, answered("40"), end(A::Show(BadAnswerMessage()), false),
         1, 0},
        {"clear: garbage", CLEAR, true, answered("5a a5"), end(A::Show(BadAnswerMessage()), false),
         1, 0},
        {"restart: 40 0C", RESTART, true, answered("40 0c"), end(std::nullopt, true), 1, 1},
        {"restart: C0 0C", RESTART, true, answered("c0 0c"),
         end(A::Result(RestartFailedMessage()), false), 1, 0},
        {"restart: 40 0D", RESTART, true, answered("40 0d"), end(A::Show(BadAnswerMessage()), false),
         1, 0},
        {"clear: connect time-out", CLEAR, true, Then(yes, {E::Timer(CONNECT_TIMER)}),
         connectTimeout, 1, 0},
        {"restart: connect time-out", RESTART, true, Then(yes, {E::Timer(CONNECT_TIMER)}),
         connectTimeout, 1, 0},
        {"clear: answer time-out", CLEAR, true, Then(connected, {E::Timer(ANSWER_TIMER)}),
         noAnswer, 1, 0},
        {"restart: answer time-out", RESTART, true, Then(connected, {E::Timer(ANSWER_TIMER)}),
         noAnswer, 1, 0},
        {"clear: refused", CLEAR, true, Then(yes, {E::ConnectFailed()}), linktest::Refused(), 1,
         0},
        {"restart: send failed", RESTART, true, Then(connected, {E::SendFailed()}),
         linktest::SendFailed(), 1, 0},
        // A connection dropped before the restart's answer confirms nothing; a
        // clear waits for its answer.
        {"restart: dropped connection", RESTART, true, Then(connected, {E::PeerClosed()}),
         noAnswer, 1, 0},
        {"clear: dropped connection", CLEAR, true, Then(connected, {E::PeerClosed()}), {}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceCommandSession s(c.command, c.ask);
        EXPECT_EQ(linktest::Drive(s, c.events), c.last);
        EXPECT_EQ(s.Finished(), c.finished);
        EXPECT_EQ(s.Succeeded(), c.succeeded);
        // Only a No to the question declines.
        EXPECT_EQ(s.Declined(), c.last == LinkActions{A::Finish(false)} && c.events.size() == 2);
    }
}

}  // namespace
