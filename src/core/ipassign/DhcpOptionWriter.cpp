#include "core/ipassign/DhcpOptionWriter.h"

#include <algorithm>
#include <array>

#include "core/ipassign/DhcpRequestView.h"
#include "core/project/TextCodec.h"
#include "core/util/Hex.h"

namespace varnel {

namespace {

constexpr std::uint32_t DEFAULT_LEASE = 36000;  // 10 hours
constexpr std::size_t MAX_SENT_NAME = 64;
constexpr std::size_t SNAME_SIZE = 64;

std::array<std::uint8_t, 4> BigEndian(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::span<const std::uint8_t> BytesOf(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// "Host" and two hex digits per chaddr byte: the record's name when the
// client gave none (kept in the record, not sent). Written in place.
void WriteGeneratedHostName(data9& record)
{
    record.hostName.clear();
    if (HardwareLength(record) == 0) return;
    record.hostName = "Host";
    for (std::size_t i = 0; i < HardwareLength(record); ++i)
        AppendHexByte(record.hostName, record.packet[DHCP_OFF_CHADDR + i]);
}

void EchoClientOptions(data9& record)
{
    for (const auto* echoed :
         {&record.clientIdentifier, &record.subnetSelection, &record.relayAgentInformation})
        if (echoed->size() >= 2)
            AddReplyOption(record, (*echoed)[0], std::span(*echoed).subspan(2));
}

}  // namespace

std::uint32_t GrantedLease(std::uint32_t asked)
{
    std::uint32_t lease = DEFAULT_LEASE;
    if (asked != 0 && asked < lease) lease = asked;
    if (lease >= 0x7FFFFFFF) lease = 0xFFFFFFFF;
    return lease;
}

std::string SentDeviceName(const std::string& deviceName)
{
    const std::string gbk = TextCodec::Utf8ToGbk(deviceName.substr(0, deviceName.find('.')));
    std::size_t cut = 0;
    while (cut < gbk.size()) {
        const std::size_t next = cut + TextCodec::GbkCharLength(&gbk[cut], gbk.size() - cut);
        if (next > MAX_SENT_NAME) break;
        cut = next;
    }
    return gbk.substr(0, cut);
}

bool AddReplyOption(data9& record, std::uint8_t code, std::span<const std::uint8_t> data)
{
    if (record.addedOptions.test(code) || data.size() > 255) return false;
    // code, length, data, and the end byte that still has to follow.
    const std::size_t limit = std::min<std::size_t>(record.maxMessageSize, DHCP_PACKET_SIZE);
    if (record.writePosition + 2 + data.size() + 1 > limit) return false;
    std::size_t pos = record.writePosition;
    record.packet[pos++] = code;
    record.packet[pos++] = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), record.packet.begin() + static_cast<long>(pos));
    record.writePosition = pos + data.size();
    record.addedOptions.set(code);
    return true;
}

bool BuildReplyOptions(data9& record, const DhcpServerContext& context,
                       const std::string& deviceName)
{
    if (record.messageType != DHCP_NONE && record.replyType != DHCP_NONE) {
        const std::uint8_t type[1] = {record.replyType};
        if (!AddReplyOption(record, DHCP_OPT_MESSAGE_TYPE, type)) return false;
    }
    const bool nak = record.replyType == DHCPNAK;
    if (!nak) {
        auto sname = record.packet.begin() + DHCP_OFF_SNAME;
        std::fill(sname, sname + SNAME_SIZE, 0);
        std::copy_n(context.hostName.begin(), std::min(context.hostName.size(), SNAME_SIZE - 1),
                    sname);
    }
    // The server identifier goes into every reply, the NAK included (RFC 2131 4.3.2).
    AddReplyOption(record, DHCP_OPT_SERVER_IDENTIFIER, BigEndian(context.serverAddress));
    if (!nak) {
        record.leaseTime = GrantedLease(record.leaseTime);
        AddReplyOption(record, DHCP_OPT_LEASE_TIME, BigEndian(record.leaseTime));
        AddReplyOption(record, DHCP_OPT_SUBNET_MASK, BigEndian(context.subnetMask));
        if (record.hostName.empty()) WriteGeneratedHostName(record);
        if (const std::string name = SentDeviceName(deviceName); !name.empty()) {
            AddReplyOption(record, DHCP_OPT_HOST_NAME, BytesOf(name));
            record.hostName = name;
        }
        EchoClientOptions(record);
    }
    record.packet[record.writePosition] = DHCP_OPT_END;
    return true;
}

}  // namespace varnel
