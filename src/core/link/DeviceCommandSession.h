#pragma once
// The two commands that act on the gateway directly: clear its configuration
// (40 0D 00 00) and restart it (40 0C 00 00). Asks first, connects only on
// Yes, sends the command and succeeds only on the gateway's 40 + code. Every
// failure has a message: the gateway's refusal (C0 + code), an answer that is
// none, a connection dropped before the restart's answer, and the time-outs,
// told with the download's texts.
#include <cstdint>

#include "core/link/LinkSession.h"

namespace varnel {

class DeviceCommandSession final : public LinkSession {
public:
    // `deviceCommand` values.
    static constexpr std::int32_t CLEAR = 1;
    static constexpr std::int32_t RESTART = 2;

    // `askFirst` false skips the question (the user already said Yes).
    DeviceCommandSession(std::int32_t deviceCommand, bool askFirst = true);

    LinkActions Handle(const LinkEvent& event) override;
    bool Finished() const override { return state == State::Done; }
    bool Succeeded() const override { return succeeded; }
    // True when the user answered No: nothing was sent, no connection made.
    bool Declined() const { return declined; }
    std::int32_t DeviceCommand() const { return deviceCommand; }

private:
    enum class State { Idle, Asking, Connecting, WaitingAnswer, Done };

    LinkActions OnIdle(const LinkEvent& event);
    LinkActions OnAsking(const LinkEvent& event);
    LinkActions OnConnecting(const LinkEvent& event);
    LinkActions OnWaitingAnswer(const LinkEvent& event);
    LinkActions Connect();
    LinkActions Fail(const Message& message);
    LinkActions OnAnswer(const Bytes& answer);
    LinkActions End(LinkActions out, bool ok);

    std::int32_t deviceCommand;
    bool askFirst;
    State state = State::Idle;
    bool succeeded = false;
    bool declined = false;
};

}  // namespace varnel
