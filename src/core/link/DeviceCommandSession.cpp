#include "core/link/DeviceCommandSession.h"

#include "core/link/DeviceFrames.h"
#include "core/link/LinkMessages.h"

namespace varnel {

DeviceCommandSession::DeviceCommandSession(std::int32_t command, bool ask)
    : deviceCommand(command), askFirst(ask)
{
}

LinkActions DeviceCommandSession::Handle(const LinkEvent& event)
{
    switch (state) {
        case State::Idle: return OnIdle(event);
        case State::Asking: return OnAsking(event);
        case State::Connecting: return OnConnecting(event);
        case State::WaitingAnswer: return OnWaitingAnswer(event);
        case State::Done: return {};
    }
    return {};
}

LinkActions DeviceCommandSession::OnIdle(const LinkEvent& event)
{
    if (event.kind != LinkEvent::Kind::Start) return {};
    if (deviceCommand != CLEAR && deviceCommand != RESTART) return End({}, false);
    if (!askFirst) return Connect();
    state = State::Asking;
    return {LinkAction::Ask(deviceCommand == CLEAR ? ClearQuestion() : RestartQuestion())};
}

LinkActions DeviceCommandSession::OnAsking(const LinkEvent& event)
{
    if (event.kind != LinkEvent::Kind::UserAnswer) return {};
    if (!event.yes) {
        declined = true;
        return End({}, false);
    }
    return Connect();
}

LinkActions DeviceCommandSession::Connect()
{
    state = State::Connecting;
    return {LinkAction::Connect(), LinkAction::Arm(CONNECT_TIMER, CONNECT_TIMEOUT_MS)};
}

LinkActions DeviceCommandSession::OnConnecting(const LinkEvent& event)
{
    switch (event.kind) {
        case LinkEvent::Kind::Connected:
            state = State::WaitingAnswer;
            return {LinkAction::Stop(CONNECT_TIMER),
                    LinkAction::Send(deviceCommand == CLEAR ? ClearRequest() : RestartRequest()),
                    LinkAction::Arm(ANSWER_TIMER, ANSWER_TIMEOUT_MS)};
        case LinkEvent::Kind::ConnectFailed:
            return End({LinkAction::Close(), LinkAction::Stop(CONNECT_TIMER),
                        LinkAction::Show(EthernetFailedMessage())},
                       false);
        case LinkEvent::Kind::TimerFired:
            return event.timer == CONNECT_TIMER ? Fail(ConnectTimeoutMessage()) : LinkActions{};
        default: return {};
    }
}

LinkActions DeviceCommandSession::OnWaitingAnswer(const LinkEvent& event)
{
    switch (event.kind) {
        case LinkEvent::Kind::Answer: return OnAnswer(event.data);
        case LinkEvent::Kind::TimerFired:
            return event.timer == ANSWER_TIMER ? Fail(NoAnswerMessage()) : LinkActions{};
        case LinkEvent::Kind::SendFailed:
            return End({LinkAction::Stop(ANSWER_TIMER), LinkAction::Close(),
                        LinkAction::Show(SendFailedMessage())},
                       false);
        case LinkEvent::Kind::PeerClosed:
            // A restart is confirmed only by its answer: a gateway that drops the
            // connection without one has not said it restarts. A clear waits for
            // its answer until the answer timer says otherwise.
            if (deviceCommand == RESTART) return Fail(NoAnswerMessage());
            return {};
        default: return {};
    }
}

LinkActions DeviceCommandSession::OnAnswer(const Bytes& answer)
{
    // Only the answer to the request sent counts: status 40 is done, C0 the
    // gateway's refusal; anything else is no answer of the protocol.
    const std::uint8_t code = deviceCommand == CLEAR ? CODE_CLEAR : CODE_RESTART;
    LinkActions out{LinkAction::Stop(ANSWER_TIMER)};
    const bool ok = AnswerIs(answer, STATUS_DONE, code);
    if (ok && deviceCommand == CLEAR)
        out.push_back(LinkAction::Result(ClearDoneMessage()));
    else if (AnswerIs(answer, STATUS_FAILED, code))
        out.push_back(LinkAction::Result(deviceCommand == CLEAR ? ClearFailedMessage()
                                                                : RestartFailedMessage()));
    else if (!ok)
        out.push_back(LinkAction::Show(BadAnswerMessage()));
    out.push_back(LinkAction::ClearQueue());
    out.push_back(LinkAction::Close());
    return End(std::move(out), ok);
}

LinkActions DeviceCommandSession::Fail(const Message& message)
{
    return End({LinkAction::Stop(CONNECT_TIMER), LinkAction::Stop(ANSWER_TIMER),
                LinkAction::ClearQueue(), LinkAction::Close(), LinkAction::Show(message)},
               false);
}

LinkActions DeviceCommandSession::End(LinkActions out, bool ok)
{
    succeeded = ok;
    state = State::Done;
    out.push_back(LinkAction::Finish(ok));
    return out;
}

}  // namespace varnel
