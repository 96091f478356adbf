#include "core/link/DownloadSession.h"

#include <algorithm>

#include "core/image/ImageDecoder.h"
#include "core/link/DeviceFrames.h"
#include "core/link/LinkMessages.h"

namespace varnel {

DownloadSession::DownloadSession(Bytes bytes) : image(std::move(bytes))
{
    progressMax = static_cast<std::int32_t>(image.size() / PIECE_SIZE + 2);
}

LinkActions DownloadSession::Handle(const LinkEvent& event)
{
    switch (state) {
        case State::Idle: return OnIdle(event);
        case State::Connecting: return OnConnecting(event);
        case State::WaitingAnswer: return OnWaitingAnswer(event);
        case State::Pausing: return OnPausing(event);
        case State::AskingRestart: return OnAskingRestart(event);
        case State::Restarting:
            // Only a failed hand-over of the restart request is still news.
            if (event.kind == LinkEvent::Kind::SendFailed) {
                restartRequested = false;
                return End({LinkAction::Close(), LinkAction::Show(SendFailedMessage())}, false);
            }
            return {};
        case State::Done: return {};
    }
    return {};
}

LinkActions DownloadSession::OnIdle(const LinkEvent& event)
{
    if (event.kind != LinkEvent::Kind::Start) return {};
    if (Status gate = CheckImage(image); !gate) {
        refused = gate.error();
        return End({LinkAction::Show(gate.message())}, false);
    }
    progressPos = 0;
    pieceIndex = 0;
    lastPiece = 0;
    state = State::Connecting;
    return {LinkAction::Range(progressMax), LinkAction::Progress(0), LinkAction::Connect(),
            LinkAction::Arm(CONNECT_TIMER, CONNECT_TIMEOUT_MS)};
}

LinkActions DownloadSession::OnConnecting(const LinkEvent& event)
{
    switch (event.kind) {
        case LinkEvent::Kind::Connected: {
            LinkActions out{LinkAction::Stop(CONNECT_TIMER),
                            LinkAction::Progress(std::min(50, progressMax))};
            SendPiece(out);
            return out;
        }
        case LinkEvent::Kind::ConnectFailed:
            return End({LinkAction::Close(), LinkAction::Stop(CONNECT_TIMER),
                        LinkAction::Show(EthernetFailedMessage())},
                       false);
        case LinkEvent::Kind::TimerFired:
            if (event.timer == CONNECT_TIMER) return Fail(ConnectTimeoutMessage());
            return {};
        default: return {};
    }
}

LinkActions DownloadSession::OnWaitingAnswer(const LinkEvent& event)
{
    switch (event.kind) {
        case LinkEvent::Kind::Answer:
            answer = event.data;
            state = State::Pausing;
            return {LinkAction::Stop(ANSWER_TIMER), LinkAction::Arm(PAUSE_TIMER, PAUSE_MS)};
        case LinkEvent::Kind::TimerFired:
            if (event.timer == ANSWER_TIMER) return Fail(NoAnswerMessage());
            return {};
        case LinkEvent::Kind::SendFailed:
            return End({LinkAction::Stop(ANSWER_TIMER), LinkAction::Close(),
                        LinkAction::Show(SendFailedMessage())},
                       false);
        default:
            // A closed connection shows nothing: the answer timer still runs.
            return {};
    }
}

LinkActions DownloadSession::OnPausing(const LinkEvent& event)
{
    if (event.kind == LinkEvent::Kind::SendFailed)
        return End({LinkAction::Stop(ANSWER_TIMER), LinkAction::Close(),
                    LinkAction::Show(SendFailedMessage())},
                   false);
    if (event.kind != LinkEvent::Kind::TimerFired || event.timer != PAUSE_TIMER) return {};
    if (!AnswerIs(answer, STATUS_DONE, CODE_PIECE))
        return End({LinkAction::Close(), LinkAction::Result(DownloadFailedMessage())}, false);
    if (lastPiece != 1) {
        LinkActions out;
        SendPiece(out);
        return out;
    }
    succeeded = true;
    state = State::AskingRestart;
    return {LinkAction::Progress(progressMax), LinkAction::Result(DownloadDoneMessage()),
            LinkAction::Ask(RestartAfterDownloadQuestion())};
}

LinkActions DownloadSession::OnAskingRestart(const LinkEvent& event)
{
    if (event.kind != LinkEvent::Kind::UserAnswer) return {};
    if (!event.yes) return End({LinkAction::Close()}, true);
    // No answer is awaited: the link closes once the request is out. Should the
    // hand-over fail, the adapter drops Close and Finish and feeds SendFailed.
    restartRequested = true;
    state = State::Restarting;
    finished = true;
    return {LinkAction::Send(RestartRequest()), LinkAction::Close(), LinkAction::Finish(true)};
}

void DownloadSession::SendPiece(LinkActions& out)
{
    const std::size_t offset = static_cast<std::size_t>(pieceIndex) * PIECE_SIZE;
    const std::size_t remaining = image.size() > offset ? image.size() - offset : 0;
    std::size_t count = PIECE_SIZE;
    if (remaining <= PIECE_SIZE) {
        lastPiece = 1;
        count = remaining;
    }
    out.push_back(LinkAction::Send(PieceRequest(image, offset, count)));
    out.push_back(LinkAction::Arm(ANSWER_TIMER, ANSWER_TIMEOUT_MS));
    ++pieceIndex;
    ++progressPos;
    out.push_back(LinkAction::Progress(std::min(progressPos, progressMax)));
    state = State::WaitingAnswer;
}

LinkActions DownloadSession::Fail(const Message& message)
{
    return End({LinkAction::Stop(CONNECT_TIMER), LinkAction::Stop(ANSWER_TIMER),
                LinkAction::ClearQueue(), LinkAction::Close(), LinkAction::Show(message)},
               false);
}

LinkActions DownloadSession::End(LinkActions out, bool ok)
{
    if (!ok) succeeded = false;
    state = State::Done;
    finished = true;
    out.push_back(LinkAction::Finish(ok));
    return out;
}

}  // namespace varnel
