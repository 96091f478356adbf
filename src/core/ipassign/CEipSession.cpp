#include "core/ipassign/CEipSession.h"

#include <cstdio>
#include <string>

namespace varnel {

namespace {

EipAction Send(std::vector<std::uint8_t> bytes)
{
    EipAction a;
    a.kind = EipAction::Send;
    a.bytes = std::move(bytes);
    return a;
}

EipAction Arm(int timer, int ms)
{
    EipAction a;
    a.kind = EipAction::ArmTimer;
    a.timer = timer;
    a.milliseconds = ms;
    return a;
}

EipAction Stop(int timer)
{
    EipAction a;
    a.kind = EipAction::StopTimer;
    a.timer = timer;
    return a;
}

EipAction Simple(EipAction::Kind kind)
{
    EipAction a;
    a.kind = kind;
    return a;
}

EipAction Tell(Message message)
{
    EipAction a;
    a.kind = EipAction::Tell;
    a.message = std::move(message);
    return a;
}

EipAction Finish(bool success)
{
    EipAction a;
    a.kind = EipAction::Finish;
    a.success = success;
    return a;
}

std::string Hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// What the step of each state is called in a failure message.
const char* StepText(int state)
{
    switch (state) {
    case CEipSession::REGISTERING: return "注册会话失败";
    case CEipSession::READING: return "读取DHCP设置失败";
    case CEipSession::WRITING: return "设置DHCP失败";
    default: return "读回DHCP设置失败";
    }
}

}  // namespace

std::uint32_t CEipSession::RequestedValue() const
{
    return dhcpEnableRequested == 1 ? CONFIG_DHCP : CONFIG_STATIC;
}

EipActions CEipSession::Start(bool enable)
{
    dhcpEnableRequested = enable ? 1 : 0;
    dhcpLinkState = IDLE;
    sessionHandle = {};
    valueBefore = valueAfter = 0;
    finished = false;
    awaitingAnswer = false;
    assembler.Clear();
    return {Arm(CONNECT_TIMER, CONNECT_TIMEOUT_MS)};
}

EipActions CEipSession::SendRequest(std::vector<std::uint8_t> bytes, int nextState)
{
    dhcpLinkState = nextState;
    awaitingAnswer = true;
    assembler.Clear();
    return {Send(std::move(bytes)), Arm(ANSWER_TIMER, ANSWER_TIMEOUT_MS)};
}

EipActions CEipSession::Fail(Message message)
{
    finished = true;
    awaitingAnswer = false;
    return {Stop(CONNECT_TIMER), Stop(ANSWER_TIMER), Simple(EipAction::Close),
            Tell(std::move(message)), Finish(false)};
}

EipActions CEipSession::OnConnected()
{
    if (finished || dhcpLinkState != IDLE || dhcpEnableRequested < 0)
        return {};
    EipActions actions{Stop(CONNECT_TIMER)};
    for (auto& a : SendRequest(BuildRegisterSession(), REGISTERING))
        actions.push_back(std::move(a));
    return actions;
}

EipActions CEipSession::OnConnectFailed()
{
    if (finished || dhcpLinkState != IDLE)
        return {};
    return Fail(ErrorMessage("以太网连接不通,请检查IP和PORT设置和设备是否正常运行"));
}

EipActions CEipSession::OnTimer(int timer)
{
    if (finished)
        return {Stop(timer)};
    switch (timer) {
    case CONNECT_TIMER:
        return Fail(ErrorMessage("连接超时,请检查IP和PORT设置和设备是否正常运行"));
    case ANSWER_TIMER: return Fail(ErrorMessage("设备没有响应"));
    default: return {Stop(timer)};
    }
}

EipActions CEipSession::OnPeerClosed()
{
    if (finished)
        return {};
    return {Simple(EipAction::Close)};
}

EipActions CEipSession::OnSendFailed()
{
    if (finished)
        return {};
    return Fail(ErrorMessage("发送失败"));
}

EipActions CEipSession::OnBytes(std::span<const std::uint8_t> bytes)
{
    // Bytes while no request is outstanding are dropped.
    if (finished || !awaitingAnswer)
        return {};
    assembler.Append(bytes);
    auto frame = assembler.Next();
    if (!frame)
        return {};
    awaitingAnswer = false;
    assembler.Clear();  // whatever follows the answer is not an answer
    EipActions actions{Stop(ANSWER_TIMER)};
    for (auto& a : HandleFrame(*frame))
        actions.push_back(std::move(a));
    return actions;
}

EipActions CEipSession::HandleFrame(const std::vector<std::uint8_t>& frame)
{
    const std::string step = StepText(dhcpLinkState);
    const auto malformed = [&] { return Fail(ErrorMessage(step + "：应答格式错误")); };

    EipHeader header;
    if (!ReadEipHeader(frame, header))
        return malformed();
    const std::uint16_t expected =
        dhcpLinkState == REGISTERING ? EIP_REGISTER_SESSION : EIP_SEND_RR_DATA;
    if (header.command != expected)
        return malformed();
    if (header.status != EIP_STATUS_SUCCESS)
        return Fail(ErrorMessage(step + "：封装状态" + Hex(header.status, 4) + "（" +
                                 EncapsulationStatusText(header.status) + "）"));

    if (dhcpLinkState == REGISTERING) {
        if (header.length < 4)
            return malformed();
        if (header.session == SessionHandle{})
            return Fail(ErrorMessage(step + "：会话句柄为0"));
        sessionHandle = header.session;
        return SendRequest(BuildGetConfigurationControl(sessionHandle), READING);
    }

    const auto reply = ReadCipReply(frame);
    const std::uint8_t service =
        dhcpLinkState == WRITING ? CIP_SET_ATTRIBUTE_SINGLE : CIP_GET_ATTRIBUTE_SINGLE;
    if (!reply || reply->service != (service | CIP_REPLY))
        return malformed();
    if (reply->generalStatus != CIP_SUCCESS) {
        std::string text = step + "：CIP通用状态" + Hex(reply->generalStatus, 2) + "（" +
                           CipStatusText(reply->generalStatus) + "）";
        for (std::uint16_t word : reply->additionalStatus)
            text += "，附加状态" + Hex(word, 4);
        return Fail(ErrorMessage(text));
    }
    const auto value = [&] {
        const auto& d = reply->data;
        return static_cast<std::uint32_t>(d[0]) | static_cast<std::uint32_t>(d[1]) << 8 |
               static_cast<std::uint32_t>(d[2]) << 16 | static_cast<std::uint32_t>(d[3]) << 24;
    };

    switch (dhcpLinkState) {
    case READING:
        if (reply->data.size() >= 4)
            valueBefore = value();
        return SendRequest(BuildSetConfigurationControl(sessionHandle, RequestedValue()), WRITING);
    case WRITING: return SendRequest(BuildGetConfigurationControl(sessionHandle), READING_BACK);
    default: break;
    }

    // Reading back: the outcome the user is told.
    if (reply->data.size() < 4)
        return malformed();
    valueAfter = value();
    finished = true;
    EipActions actions{Simple(EipAction::Close)};
    if ((valueAfter & 0x0F) == RequestedValue()) {
        const std::string text = dhcpEnableRequested == 1
                                     ? "DHCP已使能（配置控制读回为" + Hex(valueAfter, 8) + "）"
                                     : "DHCP已禁止，设备使用存储的IP地址（配置控制读回为" +
                                           Hex(valueAfter, 8) + "）";
        actions.push_back(Tell(Message{text, "提示", MessageIcon::Information}));
        actions.push_back(Finish(true));
    } else {
        actions.push_back(Tell(ErrorMessage("DHCP未切换：配置控制读回为" + Hex(valueAfter, 8) +
                                            "，应为" + Hex(RequestedValue(), 8))));
        actions.push_back(Finish(false));
    }
    return actions;
}

}  // namespace varnel
