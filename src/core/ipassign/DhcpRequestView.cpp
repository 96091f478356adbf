#include "core/ipassign/DhcpRequestView.h"

#include <algorithm>

#include "core/ipassign/ByteReader.h"
#include "core/util/Hex.h"

namespace varnel {

namespace {

constexpr std::size_t MAX_HOST_NAME = 63;
constexpr std::uint16_t BROADCAST_BIT = 0x8000;

// The record's text fields are written in place so that a record reused
// for every datagram keeps its buffers: reading allocates nothing.
void WriteMacText(data9& record)
{
    record.macText.clear();
    for (std::size_t i = 0; i < HardwareLength(record); ++i) {
        if (i != 0) record.macText += ':';
        AppendHexByte(record.macText, record.packet[DHCP_OFF_CHADDR + i]);
    }
}

// Host name bytes up to the first '.' or NUL, at most 63.
void ReadHostName(std::span<const std::uint8_t> data, std::string& name)
{
    name.clear();
    for (std::uint8_t c : data) {
        if (c == '.' || c == 0 || name.size() == MAX_HOST_NAME) break;
        name += static_cast<char>(c);
    }
}

// Options 61, 82 and 118 are kept whole (code, length, data) to be echoed.
void ReadWholeOption(std::uint8_t code, std::span<const std::uint8_t> data,
                     std::vector<std::uint8_t>& whole)
{
    whole.assign({code, static_cast<std::uint8_t>(data.size())});
    whole.insert(whole.end(), data.begin(), data.end());
}

// Empties the record for the next datagram, keeping its strings' and
// vectors' storage.
void ResetRecord(data9& record)
{
    data9 fresh;
    const auto keep = [](auto& used, auto& into) {
        used.clear();
        into.swap(used);
    };
    keep(record.hostName, fresh.hostName);
    keep(record.macText, fresh.macText);
    keep(record.relayAgentInformation, fresh.relayAgentInformation);
    keep(record.clientIdentifier, fresh.clientIdentifier);
    keep(record.subnetSelection, fresh.subnetSelection);
    record = std::move(fresh);
}

// One option of the request into the record.
void ReadOption(std::uint8_t code, std::span<const std::uint8_t> data, data9& record)
{
    ByteReader value(data);
    const bool four = data.size() == 4;
    switch (code) {
        case DHCP_OPT_HOST_NAME: ReadHostName(data, record.hostName); break;
        case DHCP_OPT_REQUESTED_ADDRESS:
            record.hasRequestedAddress = four && value.U32be(record.requestedAddress);
            break;
        case DHCP_OPT_LEASE_TIME:
            if (four) value.U32be(record.leaseTime);
            break;
        case DHCP_OPT_MESSAGE_TYPE:
            if (data.size() == 1) value.U8(record.messageType);
            break;
        case DHCP_OPT_SERVER_IDENTIFIER:
            record.hasServerIdentifier = four && value.U32be(record.serverIdentifier);
            break;
        case DHCP_OPT_MAX_MESSAGE_SIZE:
            if (data.size() == 2) value.U16be(record.maxMessageSize);
            break;
        case DHCP_OPT_CLIENT_IDENTIFIER:
            ReadWholeOption(code, data, record.clientIdentifier);
            break;
        case DHCP_OPT_RELAY_AGENT_INFORMATION:
            ReadWholeOption(code, data, record.relayAgentInformation);
            break;
        case DHCP_OPT_SUBNET_SELECTION: ReadWholeOption(code, data, record.subnetSelection); break;
        default: break;
    }
}

}  // namespace

const char* DhcpIgnoredText(DhcpIgnored reason)
{
    switch (reason) {
        case DhcpIgnored::None: return "answered";
        case DhcpIgnored::TooShort: return "too short";
        case DhcpIgnored::NotARequest: return "not a request";
        case DhcpIgnored::MalformedOptions: return "malformed options";
        case DhcpIgnored::PlainBootp: return "plain BOOTP";
        case DhcpIgnored::NotAnswered: return "type not answered";
        case DhcpIgnored::ListedOnly: return "no offer armed";
        case DhcpIgnored::OtherServer: return "another server selected";
        case DhcpIgnored::Unassigned: return "no assignment";
        case DhcpIgnored::OwnHostName: return "own host name";
        case DhcpIgnored::ReplyTooLarge: return "reply exceeds maximum message size";
        case DhcpIgnored::AddressChecking: return "superseded while the address was checked";
        case DhcpIgnored::AddressHeld: return "address in use";
    }
    return "?";
}

std::uint32_t PacketU32(const data9& record, std::size_t offset)
{
    const auto& p = record.packet;
    return static_cast<std::uint32_t>(p[offset]) << 24 |
           static_cast<std::uint32_t>(p[offset + 1]) << 16 |
           static_cast<std::uint32_t>(p[offset + 2]) << 8 | p[offset + 3];
}

void PutPacketU32(data9& record, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        record.packet[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

bool BroadcastFlag(const data9& record)
{
    return ((record.packet[DHCP_OFF_FLAGS] << 8 | record.packet[DHCP_OFF_FLAGS + 1]) &
            BROADCAST_BIT) != 0;
}

std::size_t HardwareLength(const data9& record)
{
    return std::min<std::size_t>(record.packet[DHCP_OFF_HLEN], 16);
}

std::uint32_t AskedAddress(const data9& record)
{
    return record.hasRequestedAddress ? record.requestedAddress
                                      : PacketU32(record, DHCP_OFF_CIADDR);
}

DhcpIgnored ParseRequest(std::span<const std::uint8_t> datagram, std::uint32_t sourceAddress,
                         std::uint16_t sourcePort, data9& record)
{
    ResetRecord(record);
    record.transferLength =
        static_cast<std::int32_t>(std::min<std::size_t>(datagram.size(), 0x7FFFFFFF));
    record.peerAddress = sourceAddress;
    record.peerPort = sourcePort;
    const auto kept = datagram.first(std::min(datagram.size(), DHCP_PACKET_SIZE));
    if (kept.size() < DHCP_HEADER_SIZE) return DhcpIgnored::TooShort;
    std::copy(kept.begin(), kept.end(), record.packet.begin());
    if (record.packet[DHCP_OFF_OP] != 1) return DhcpIgnored::NotARequest;
    WriteMacText(record);

    // Code 0 is one pad byte, 255 ends the list, any other code has a length
    // byte and that many data bytes, all within the received bytes.
    ByteReader reader(kept.size() > DHCP_OPTIONS_OFFSET ? kept.subspan(DHCP_OPTIONS_OFFSET)
                                                        : std::span<const std::uint8_t>{});
    std::uint8_t code = 0;
    while (reader.U8(code) && code != DHCP_OPT_END) {
        if (code == DHCP_OPT_PAD) continue;
        std::uint8_t length = 0;
        std::span<const std::uint8_t> data;
        if (!reader.U8(length) || !reader.Take(length, data)) return DhcpIgnored::MalformedOptions;
        ReadOption(code, data, record);
    }
    if (record.maxMessageSize == 0)
        record.maxMessageSize =
            record.messageType != DHCP_NONE ? 1024 : static_cast<std::uint16_t>(kept.size());
    return DhcpIgnored::None;
}

}  // namespace varnel
