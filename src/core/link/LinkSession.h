#pragma once
// A conversation over one device link, as a state machine without I/O: the
// adapter feeds it events (connected, bytes of an answer, a timer fired, the
// user's answer) and carries out the actions it returns (connect, send a
// request, arm or stop a timer, close, show a message, move the progress bar,
// ask a question, finish). Tests drive sessions directly, byte for byte.
#include <string>
#include <vector>

#include "core/model/CModule.h"
#include "core/model/Message.h"

namespace varnel {

// Timers of a link owner.
constexpr int CONNECT_TIMER = 10;  // no connection within CONNECT_TIMEOUT_MS
constexpr int ANSWER_TIMER = 2;    // no answer within ANSWER_TIMEOUT_MS
constexpr int PAUSE_TIMER = 3;     // the gateway's pause after each answer
constexpr int CONNECT_TIMEOUT_MS = 3000;
constexpr int ANSWER_TIMEOUT_MS = 5000;
constexpr int PAUSE_MS = 300;

struct LinkEvent {
    enum class Kind {
        Start,          // the owner starts the session
        Connected,      // the connection is made
        ConnectFailed,  // refused or unreachable
        Answer,         // the bytes of one read taken as the answer
        TimerFired,     // `timer` expired
        PeerClosed,     // the gateway closed the connection
        SendFailed,     // a request could not be handed over
        UserAnswer,     // the user's answer to the last question: `yes`
    };
    Kind kind = Kind::Start;
    Bytes data;
    int timer = 0;
    bool yes = false;

    static LinkEvent Start() { return {Kind::Start, {}, 0, false}; }
    static LinkEvent Connected() { return {Kind::Connected, {}, 0, false}; }
    static LinkEvent ConnectFailed() { return {Kind::ConnectFailed, {}, 0, false}; }
    static LinkEvent Answer(Bytes bytes) { return {Kind::Answer, std::move(bytes), 0, false}; }
    static LinkEvent Timer(int id) { return {Kind::TimerFired, {}, id, false}; }
    static LinkEvent PeerClosed() { return {Kind::PeerClosed, {}, 0, false}; }
    static LinkEvent SendFailed() { return {Kind::SendFailed, {}, 0, false}; }
    static LinkEvent User(bool yes) { return {Kind::UserAnswer, {}, 0, yes}; }
};

struct LinkAction {
    enum class Kind {
        Connect,      // open the connection to the owner's address and port
        SendRequest,  // send `data` as one request (sets linkRequestPending)
        ArmTimer,     // arm `timer` for `value` ms
        StopTimer,    // stop `timer`
        ClearQueue,   // drop what waits in the send queue
        Close,        // close the connection
        Show,         // show `message`: a failure of the link or of the session
        ShowResult,   // show `message`: what the gateway answered (a result window)
        SetRange,     // progress bar range 0..`value`
        SetProgress,  // progress bar position `value` (already clamped)
        Ask,          // ask `message` with Yes and No; the answer comes as UserAnswer
        Finish,       // the session is over; `value` 1 = succeeded, 0 = failed
    };
    Kind kind = Kind::Close;
    Bytes data;
    int timer = 0;
    int value = 0;
    Message message;

    static LinkAction Connect() { return {Kind::Connect, {}, 0, 0, {}}; }
    static LinkAction Send(Bytes bytes) { return {Kind::SendRequest, std::move(bytes), 0, 0, {}}; }
    static LinkAction Arm(int id, int ms) { return {Kind::ArmTimer, {}, id, ms, {}}; }
    static LinkAction Stop(int id) { return {Kind::StopTimer, {}, id, 0, {}}; }
    static LinkAction ClearQueue() { return {Kind::ClearQueue, {}, 0, 0, {}}; }
    static LinkAction Close() { return {Kind::Close, {}, 0, 0, {}}; }
    static LinkAction Show(Message m) { return {Kind::Show, {}, 0, 0, std::move(m)}; }
    static LinkAction Result(Message m) { return {Kind::ShowResult, {}, 0, 0, std::move(m)}; }
    static LinkAction Range(int max) { return {Kind::SetRange, {}, 0, max, {}}; }
    static LinkAction Progress(int pos) { return {Kind::SetProgress, {}, 0, pos, {}}; }
    static LinkAction Ask(Message m) { return {Kind::Ask, {}, 0, 0, std::move(m)}; }
    static LinkAction Finish(bool ok) { return {Kind::Finish, {}, 0, ok ? 1 : 0, {}}; }

    bool operator==(const LinkAction&) const = default;
};

using LinkActions = std::vector<LinkAction>;

// What the owner of a link implements.
class LinkSession {
public:
    virtual ~LinkSession() = default;
    // Feeds one event; returns the actions to carry out in order. When a
    // SendRequest action fails, the adapter drops the rest of the batch and
    // feeds SendFailed instead. Events the current state does not expect are
    // ignored (empty result).
    virtual LinkActions Handle(const LinkEvent& event) = 0;
    // True once the session has returned Finish.
    virtual bool Finished() const = 0;
    // True when it finished successfully.
    virtual bool Succeeded() const = 0;
};

// Readable text of an action, for test failures and the simulator's log.
std::string Describe(const LinkAction& action);

}  // namespace varnel
