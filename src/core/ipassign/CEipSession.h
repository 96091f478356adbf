#pragma once
// The exchange that switches a gateway's DHCP client on or off over
// EtherNet/IP, as a state machine without I/O: the adapter feeds it events
// (connected, connect failed, bytes received, timer fired, peer closed,
// send failed) and carries out the actions it returns (send, arm or stop a
// timer, close, tell the user, finished).
//
// RegisterSession -> Get attribute 3 -> Set attribute 3 -> Get attribute 3
// again, so the user learns what the gateway now holds.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/ipassign/EipFrames.h"
#include "core/model/Message.h"

namespace varnel {

struct EipAction {
    enum Kind { Send, ArmTimer, StopTimer, Close, Tell, Finish };
    Kind kind = Send;
    std::vector<std::uint8_t> bytes;  // Send: one request, written in one call
    int timer = 0;                    // ArmTimer / StopTimer
    int milliseconds = 0;             // ArmTimer
    Message message;                  // Tell
    bool success = false;             // Finish

    bool operator==(const EipAction&) const = default;
};

using EipActions = std::vector<EipAction>;

class CEipSession {
public:
    // Window timers: 10 watches the connect, 2 the answer.
    static constexpr int CONNECT_TIMER = 10;
    static constexpr int CONNECT_TIMEOUT_MS = 3000;
    static constexpr int ANSWER_TIMER = 2;
    static constexpr int ANSWER_TIMEOUT_MS = 5000;

    // Link states: -1 idle or connecting, 0 registering, 1 reading, 2 writing,
    // 3 reading the value back.
    enum LinkState { IDLE = -1, REGISTERING = 0, READING = 1, WRITING = 2, READING_BACK = 3 };

    // Starts an exchange for enable (true) or disable; the adapter opens the
    // connection. Returns the connect timer.
    EipActions Start(bool enable);
    EipActions OnConnected();
    EipActions OnConnectFailed();
    // Bytes as they arrive; a reply is taken once 24 + its length field bytes are in.
    EipActions OnBytes(std::span<const std::uint8_t> bytes);
    EipActions OnTimer(int timer);
    // The peer closed the connection: the answer timer, if armed, still runs.
    EipActions OnPeerClosed();
    // A write failed (other than would-block).
    EipActions OnSendFailed();

    int dhcpLinkState = IDLE;
    // 1 enable, 0 disable, -1 before the first command.
    int dhcpEnableRequested = -1;
    SessionHandle sessionHandle{};
    // Configuration Control as read before the Set and after it.
    std::uint32_t valueBefore = 0;
    std::uint32_t valueAfter = 0;
    // True once the exchange ended (Finish was returned).
    bool finished = false;

private:
    EipActions HandleFrame(const std::vector<std::uint8_t>& frame);
    EipActions Fail(Message message);
    EipActions SendRequest(std::vector<std::uint8_t> bytes, int nextState);
    std::uint32_t RequestedValue() const;

    EipFrameAssembler assembler;
    bool awaitingAnswer = false;
};

}  // namespace varnel
