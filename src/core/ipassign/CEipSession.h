#pragma once
// The exchange that switches a gateway's DHCP client on or off over
// EtherNet/IP, as a link session without I/O: it speaks the device link's
// event/action vocabulary (core/link/LinkSession.h), so any adapter that
// drives a LinkSession drives this one.
//
// Events: Start (the session arms the connect timer and asks for Connect),
// Connected, ConnectFailed, Answer, TimerFired, PeerClosed, SendFailed.
// An Answer carries exactly one whole encapsulation frame: the adapter cuts
// the TCP stream with EipFrameSize (core/ipassign/EipFrames.h).
// Actions: Connect, SendRequest, ArmTimer, StopTimer, Close, Show, Finish.
//
// RegisterSession -> Get attribute 3 -> Set attribute 3 -> Get attribute 3
// again, so the user learns what the gateway now holds -> Get attribute 5
// (Interface Configuration), the address, mask and gateway it will use at
// its next power-up. A gateway that cannot tell (any failure of that last
// step) leaves them unknown; the switch has succeeded all the same.
#include <cstdint>
#include <optional>
#include <string>

#include "core/ipassign/EipFrames.h"
#include "core/link/LinkSession.h"

namespace varnel {

class CEipSession final : public LinkSession {
public:
    enum class State {
        Idle,
        Connecting,
        Registering,
        Reading,
        Writing,
        ReadingBack,
        ReadingInterface,
        Done
    };

    // `enable`: DHCP on (Configuration Control 2) or off (0, stored address).
    explicit CEipSession(bool enable);

    LinkActions Handle(const LinkEvent& event) override;
    bool Finished() const override { return state == State::Done; }
    bool Succeeded() const override { return succeeded; }

    State CurrentState() const { return state; }
    bool EnableRequested() const { return enable; }
    // The session handle the gateway gave, as received.
    const SessionHandle& Session() const { return session; }
    // Configuration Control as read before the Set and after it.
    std::uint32_t ValueBefore() const { return valueBefore; }
    std::uint32_t ValueAfter() const { return valueAfter; }
    // Attribute 5 as read after the switch; nullopt when unknown.
    const std::optional<InterfaceConfiguration>& NextPowerUp() const { return nextPowerUp; }

private:
    LinkActions OnConnecting(const LinkEvent& event);
    LinkActions OnWaiting(const LinkEvent& event);
    LinkActions OnFrame(const Bytes& frame);
    LinkActions OnCipReply(const CipReply& reply, const std::string& step);
    LinkActions OnValueReadBack(const CipReply& reply, const std::string& step);
    LinkActions OnInterfaceConfiguration(const CipReply& reply);
    LinkActions Report(const std::string& unknownReason);
    LinkActions SendRequest(Bytes bytes, State next);
    LinkActions Fail(const Message& message);
    LinkActions End(LinkActions out, bool ok);
    std::uint32_t RequestedValue() const;

    bool enable;
    State state = State::Idle;
    bool succeeded = false;
    SessionHandle session{};
    std::uint32_t valueBefore = 0;
    std::uint32_t valueAfter = 0;
    std::string switchedText;
    std::optional<InterfaceConfiguration> nextPowerUp;
};

}  // namespace varnel
