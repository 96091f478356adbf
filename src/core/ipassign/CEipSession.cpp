#include "core/ipassign/CEipSession.h"

#include <cstdio>

#include "core/ipassign/IpAssignMessages.h"
#include "core/link/LinkMessages.h"
#include "core/util/Ipv4.h"

namespace varnel {

namespace {

std::string Hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// What the step of each state is called in a failure message.
std::string StepText(CEipSession::State state)
{
    switch (state) {
        case CEipSession::State::Registering: return "注册会话失败";
        case CEipSession::State::Reading: return "读取DHCP设置失败";
        case CEipSession::State::Writing: return "设置DHCP失败";
        case CEipSession::State::ReadingInterface: return "读取接口配置失败";
        default: return "读回DHCP设置失败";
    }
}

// "<step>：应答格式错误".
Message Malformed(const std::string& step)
{
    return ErrorMessage(step + "：" + MalformedAnswerMessage().text);
}

std::uint32_t ValueOf(const CipReply& reply)
{
    const auto& d = reply.data;
    return static_cast<std::uint32_t>(d[0]) | static_cast<std::uint32_t>(d[1]) << 8 |
           static_cast<std::uint32_t>(d[2]) << 16 | static_cast<std::uint32_t>(d[3]) << 24;
}

}  // namespace

CEipSession::CEipSession(bool enableDhcp) : enable(enableDhcp) {}

std::uint32_t CEipSession::RequestedValue() const
{
    return enable ? CONFIG_DHCP : CONFIG_STATIC;
}

LinkActions CEipSession::Handle(const LinkEvent& event)
{
    switch (state) {
        case State::Idle:
            if (event.kind != LinkEvent::Kind::Start) return {};
            state = State::Connecting;
            return {LinkAction::Arm(CONNECT_TIMER, CONNECT_TIMEOUT_MS), LinkAction::Connect()};
        case State::Connecting: return OnConnecting(event);
        case State::Done: return {};
        default: return OnWaiting(event);
    }
}

LinkActions CEipSession::OnConnecting(const LinkEvent& event)
{
    switch (event.kind) {
        case LinkEvent::Kind::Connected: {
            LinkActions out{LinkAction::Stop(CONNECT_TIMER)};
            for (auto& a : SendRequest(BuildRegisterSession(), State::Registering))
                out.push_back(std::move(a));
            return out;
        }
        case LinkEvent::Kind::ConnectFailed: return Fail(EthernetFailedMessage());
        case LinkEvent::Kind::TimerFired:
            return event.timer == CONNECT_TIMER ? Fail(ConnectTimeoutMessage()) : LinkActions{};
        default: return {};
    }
}

LinkActions CEipSession::OnWaiting(const LinkEvent& event)
{
    switch (event.kind) {
        case LinkEvent::Kind::Answer: {
            LinkActions out{LinkAction::Stop(ANSWER_TIMER)};
            for (auto& a : OnFrame(event.data)) out.push_back(std::move(a));
            return out;
        }
        case LinkEvent::Kind::TimerFired:
            return event.timer == ANSWER_TIMER ? Fail(DeviceNoAnswerMessage()) : LinkActions{};
        case LinkEvent::Kind::SendFailed: return Fail(SendFailedMessage());
        // The gateway hung up: the answer timer, still armed, ends the exchange.
        case LinkEvent::Kind::PeerClosed: return {LinkAction::Close()};
        default: return {};
    }
}

LinkActions CEipSession::SendRequest(Bytes bytes, State next)
{
    state = next;
    return {LinkAction::Send(std::move(bytes)), LinkAction::Arm(ANSWER_TIMER, ANSWER_TIMEOUT_MS)};
}

LinkActions CEipSession::Fail(const Message& message)
{
    // The switch is made: a gateway that cannot say what it will use next
    // leaves that unknown.
    if (state == State::ReadingInterface) {
        LinkActions out{LinkAction::Stop(CONNECT_TIMER), LinkAction::Stop(ANSWER_TIMER)};
        for (auto& a : Report(message.text)) out.push_back(std::move(a));
        return out;
    }
    return End({LinkAction::Stop(CONNECT_TIMER), LinkAction::Stop(ANSWER_TIMER),
                LinkAction::Close(), LinkAction::Show(message)},
               false);
}

LinkActions CEipSession::End(LinkActions out, bool ok)
{
    succeeded = ok;
    state = State::Done;
    out.push_back(LinkAction::Finish(ok));
    return out;
}

LinkActions CEipSession::OnFrame(const Bytes& frame)
{
    const std::string step = StepText(state);
    const Message malformed = Malformed(step);
    const auto read = ReadEipHeader(frame);
    if (!read || frame.size() != EIP_HEADER_SIZE + read->length) return Fail(malformed);
    const EipHeader& header = *read;
    const bool registering = state == State::Registering;
    if (header.command != (registering ? EIP_REGISTER_SESSION : EIP_SEND_RR_DATA))
        return Fail(malformed);
    if (header.status != EIP_STATUS_SUCCESS)
        return Fail(ErrorMessage(step + "：封装状态" + Hex(header.status, 4) + "（" +
                                 EncapsulationStatusText(header.status) + "）"));
    if (!registering) {
        const auto reply = ReadCipReply(frame);
        return reply ? OnCipReply(*reply, step) : Fail(malformed);
    }
    if (header.length < 4) return Fail(malformed);
    if (header.session == SessionHandle{}) return Fail(ErrorMessage(step + "：会话句柄为0"));
    session = header.session;
    return SendRequest(BuildGetConfigurationControl(session), State::Reading);
}

LinkActions CEipSession::OnCipReply(const CipReply& reply, const std::string& step)
{
    const std::uint8_t service =
        state == State::Writing ? CIP_SET_ATTRIBUTE_SINGLE : CIP_GET_ATTRIBUTE_SINGLE;
    if (reply.service != (service | CIP_REPLY)) return Fail(Malformed(step));
    // A gateway without attribute 5 (or without Get on it) does not say.
    if (state == State::ReadingInterface && (reply.generalStatus == CIP_ATTRIBUTE_NOT_SUPPORTED ||
                                             reply.generalStatus == CIP_SERVICE_NOT_SUPPORTED))
        return Report({});
    if (reply.generalStatus != CIP_SUCCESS) {
        std::string text = step + "：CIP通用状态" + Hex(reply.generalStatus, 2) + "（" +
                           CipStatusText(reply.generalStatus) + "）";
        for (std::uint16_t word : reply.additionalStatus) text += "，附加状态" + Hex(word, 4);
        return Fail(ErrorMessage(text));
    }
    switch (state) {
        case State::Reading:
            if (reply.data.size() >= 4) valueBefore = ValueOf(reply);
            return SendRequest(BuildSetConfigurationControl(session, RequestedValue()),
                               State::Writing);
        case State::Writing:
            return SendRequest(BuildGetConfigurationControl(session), State::ReadingBack);
        case State::ReadingInterface: return OnInterfaceConfiguration(reply);
        default: return OnValueReadBack(reply, step);
    }
}

// The outcome the user is told: what the gateway holds now.
LinkActions CEipSession::OnValueReadBack(const CipReply& reply, const std::string& step)
{
    if (reply.data.size() < 4) return Fail(Malformed(step));
    valueAfter = ValueOf(reply);
    const std::string readBack = Hex(valueAfter, 8);
    if ((valueAfter & 0x0F) != RequestedValue())
        return Fail(ErrorMessage("DHCP未切换：配置控制读回为" + readBack + "，应为" +
                                 Hex(RequestedValue(), 8)));
    switchedText = enable ? "DHCP已使能（配置控制读回为" + readBack + "）"
                          : "DHCP已禁止，设备使用存储的IP地址（配置控制读回为" + readBack + "）";
    return SendRequest(BuildGetInterfaceConfiguration(session), State::ReadingInterface);
}

LinkActions CEipSession::OnInterfaceConfiguration(const CipReply& reply)
{
    nextPowerUp = ReadInterfaceConfiguration(reply.data);
    return Report(nextPowerUp ? std::string() : Malformed(StepText(state)).text);
}

// The switch made, and what the gateway uses at its next power-up.
LinkActions CEipSession::Report(const std::string& unknownReason)
{
    std::string text = switchedText + "\n";
    if (nextPowerUp) {
        const std::string ip = FormatIpv4(nextPowerUp->address),
                          mask = FormatIpv4(nextPowerUp->mask),
                          gateway = FormatIpv4(nextPowerUp->gateway);
        text += "下次上电使用 IP " + ip + " 掩码 " + mask + " 网关 " + gateway +
                " (next power-up: IP " + ip + ", mask " + mask + ", gateway " + gateway + ")";
    } else {
        text += "下次上电使用的地址未知 (next power-up address unknown)";
        if (!unknownReason.empty()) text += "：" + unknownReason;
    }
    return End({LinkAction::Close(), LinkAction::Show({text, "提示", MessageIcon::Information})},
               true);
}

}  // namespace varnel
