#include "core/ipassign/HandleDatagram.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/ipassign/ByteReader.h"

namespace varnel {

namespace {

constexpr std::uint32_t DEFAULT_LEASE = 36000;  // 10 hours
constexpr std::uint32_t BROADCAST = 0xFFFFFFFF;
constexpr std::uint16_t BROADCAST_FLAG = 0x8000;
constexpr std::size_t MAX_HOST_NAME = 63;
constexpr std::size_t MAX_SENT_NAME = 64;

// Option codes this server reads or writes (RFC 2132, RFC 3046, RFC 3011).
enum : std::uint8_t {
    OPT_PAD = 0,
    OPT_SUBNET_MASK = 1,
    OPT_HOST_NAME = 12,
    OPT_REQUESTED_ADDRESS = 50,
    OPT_LEASE_TIME = 51,
    OPT_MESSAGE_TYPE = 53,
    OPT_SERVER_IDENTIFIER = 54,
    OPT_MAX_MESSAGE_SIZE = 57,
    OPT_CLIENT_IDENTIFIER = 61,
    OPT_RELAY_AGENT_INFORMATION = 82,
    OPT_SUBNET_SELECTION = 118,
    OPT_END = 255,
};

std::uint32_t GetU32(const data9& record, std::size_t offset)
{
    const auto& p = record.packet;
    return static_cast<std::uint32_t>(p[offset]) << 24 |
           static_cast<std::uint32_t>(p[offset + 1]) << 16 |
           static_cast<std::uint32_t>(p[offset + 2]) << 8 | p[offset + 3];
}

void PutU32(data9& record, std::size_t offset, std::uint32_t value)
{
    record.packet[offset] = static_cast<std::uint8_t>(value >> 24);
    record.packet[offset + 1] = static_cast<std::uint8_t>(value >> 16);
    record.packet[offset + 2] = static_cast<std::uint8_t>(value >> 8);
    record.packet[offset + 3] = static_cast<std::uint8_t>(value);
}

std::array<std::uint8_t, 4> BigEndian(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::size_t HardwareLength(const data9& record)
{
    return std::min<std::size_t>(record.packet[DHCP_OFF_HLEN], 16);
}

std::string MacTextOf(const data9& record)
{
    std::string text;
    char pair[4];
    for (std::size_t i = 0; i < HardwareLength(record); ++i) {
        std::snprintf(pair, sizeof pair, i == 0 ? "%02x" : ":%02x",
                      record.packet[DHCP_OFF_CHADDR + i]);
        text += pair;
    }
    return text;
}

// Host name text: up to the first '.' or NUL, at most `limit` bytes.
std::string NameText(std::span<const std::uint8_t> data, std::size_t limit)
{
    std::string name;
    for (std::uint8_t c : data) {
        if (c == '.' || c == 0 || name.size() == limit)
            break;
        name += static_cast<char>(c);
    }
    return name;
}

// A name cut at `limit` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(std::string name, std::size_t limit)
{
    if (name.size() <= limit)
        return name;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    name.resize(cut);
    return name;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::uint8_t> WholeOption(std::uint8_t code, std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> whole(2 + data.size());
    whole[0] = code;
    whole[1] = static_cast<std::uint8_t>(data.size());
    if (!data.empty())
        std::memcpy(whole.data() + 2, data.data(), data.size());
    return whole;
}

// The reply size limit: the client's maximum message size, and the packet.
std::size_t ReplyLimit(const data9& record)
{
    return std::min<std::size_t>(record.maxMessageSize, DHCP_PACKET_SIZE);
}

DhcpEndpoint Destination(const data9& record, const DhcpServerContext& context)
{
    const std::uint32_t giaddr = GetU32(record, DHCP_OFF_GIADDR);
    if (giaddr != 0)
        return {giaddr, context.relayPort};
    // A NAK goes to everyone on the link: the client's address is the one refused.
    if (record.replyType == DHCPNAK)
        return {BROADCAST, context.clientPort};
    const bool broadcastFlag =
        (record.packet[DHCP_OFF_FLAGS] << 8 | record.packet[DHCP_OFF_FLAGS + 1]) & BROADCAST_FLAG;
    if (!broadcastFlag && record.peerAddress != 0 && !record.hasRequestedAddress)
        return {record.peerAddress, context.clientPort};
    return {BROADCAST, context.clientPort};
}

// Builds the reply of `type` with yiaddr over the record's packet; nullopt
// when the options do not fit the client's maximum message size.
std::optional<DhcpReply> BuildReply(data9& record, const DhcpServerContext& context,
                                    std::uint8_t type, std::uint32_t yourAddress,
                                    const std::string& deviceName)
{
    record.replyType = type;
    record.writePosition = DHCP_OPTIONS_OFFSET;
    record.addedOptions.reset();
    std::fill(record.packet.begin() + DHCP_OPTIONS_OFFSET, record.packet.end(), 0);
    record.packet[DHCP_OFF_OP] = 2;
    PutU32(record, DHCP_OFF_YIADDR, yourAddress);
    if (type == DHCPNAK && GetU32(record, DHCP_OFF_GIADDR) != 0) {
        // A relay must broadcast the NAK on the client's link (RFC 2131 4.3.2).
        record.packet[DHCP_OFF_FLAGS] |= 0x80;
    }
    if (!BuildReplyOptions(record, context, deviceName))
        return std::nullopt;
    DhcpReply reply;
    reply.bytes.assign(record.packet.begin(), record.packet.begin() + record.writePosition + 1);
    reply.destination = Destination(record, context);
    reply.dontRoute = GetU32(record, DHCP_OFF_GIADDR) == 0;
    reply.type = type;
    reply.yourAddress = yourAddress;
    return reply;
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
    }
    return "?";
}

std::uint32_t GrantedLease(std::uint32_t asked)
{
    std::uint32_t lease = DEFAULT_LEASE;
    if (asked != 0 && asked < lease)
        lease = asked;
    if (lease >= 0x7FFFFFFF)
        lease = 0xFFFFFFFF;
    return lease;
}

DhcpIgnored ParseRequest(std::span<const std::uint8_t> datagram, DhcpEndpoint source,
                         data9& record)
{
    record = data9{};
    record.transferLength = static_cast<std::int32_t>(std::min<std::size_t>(datagram.size(), 0x7FFFFFFF));
    record.peerAddress = source.address;
    record.peerPort = source.port;
    const auto kept = datagram.first(std::min(datagram.size(), DHCP_PACKET_SIZE));
    if (kept.size() < DHCP_HEADER_SIZE)
        return DhcpIgnored::TooShort;
    std::copy(kept.begin(), kept.end(), record.packet.begin());
    if (record.packet[DHCP_OFF_OP] != 1)
        return DhcpIgnored::NotARequest;
    record.macText = MacTextOf(record);

    // Options: code 0 is one pad byte, 255 ends the list, any other code has a
    // length byte and that many data bytes, all within the received bytes.
    if (kept.size() > DHCP_OPTIONS_OFFSET) {
        ByteReader reader(kept.subspan(DHCP_OPTIONS_OFFSET));
        std::uint8_t code = 0;
        while (reader.U8(code) && code != OPT_END) {
            if (code == OPT_PAD)
                continue;
            std::uint8_t length = 0;
            std::span<const std::uint8_t> data;
            if (!reader.U8(length) || !reader.Take(length, data))
                return DhcpIgnored::MalformedOptions;
            ByteReader value(data);
            switch (code) {
            case OPT_HOST_NAME: record.hostName = NameText(data, MAX_HOST_NAME); break;
            case OPT_REQUESTED_ADDRESS:
                if (length == 4 && value.U32be(record.requestedAddress))
                    record.hasRequestedAddress = true;
                break;
            case OPT_LEASE_TIME:
                if (length == 4)
                    value.U32be(record.leaseTime);
                break;
            case OPT_MESSAGE_TYPE:
                if (length == 1)
                    value.U8(record.messageType);
                break;
            case OPT_SERVER_IDENTIFIER:
                if (length == 4 && value.U32be(record.serverIdentifier))
                    record.hasServerIdentifier = true;
                break;
            case OPT_MAX_MESSAGE_SIZE:
                if (length == 2)
                    value.U16be(record.maxMessageSize);
                break;
            case OPT_CLIENT_IDENTIFIER: record.clientIdentifier = WholeOption(code, data); break;
            case OPT_RELAY_AGENT_INFORMATION:
                record.relayAgentInformation = WholeOption(code, data);
                break;
            case OPT_SUBNET_SELECTION: record.subnetSelection = WholeOption(code, data); break;
            default: break;
            }
        }
    }
    if (record.maxMessageSize == 0)
        record.maxMessageSize =
            record.messageType != DHCP_NONE ? 1024 : static_cast<std::uint16_t>(kept.size());
    return DhcpIgnored::None;
}

bool AddReplyOption(data9& record, std::uint8_t code, std::span<const std::uint8_t> data)
{
    if (record.addedOptions.test(code) || data.size() > 255)
        return false;
    // code, length, data, and the end byte that still has to follow.
    if (record.writePosition + 2 + data.size() + 1 > ReplyLimit(record))
        return false;
    std::size_t pos = record.writePosition;
    record.packet[pos++] = code;
    record.packet[pos++] = static_cast<std::uint8_t>(data.size());
    if (!data.empty())
        std::memcpy(record.packet.data() + pos, data.data(), data.size());
    record.writePosition = pos + data.size();
    record.addedOptions.set(code);
    return true;
}

bool BuildReplyOptions(data9& record, const DhcpServerContext& context,
                       const std::string& deviceName)
{
    if (record.messageType != DHCP_NONE && record.replyType != DHCP_NONE) {
        const std::uint8_t type[1] = {record.replyType};
        if (!AddReplyOption(record, OPT_MESSAGE_TYPE, type))
            return false;
    }
    if (record.replyType != DHCPNAK) {
        auto sname = record.packet.begin() + DHCP_OFF_SNAME;
        std::fill(sname, sname + 64, 0);
        const std::string host = context.hostName.substr(0, 63);
        std::copy(host.begin(), host.end(), sname);
    }
    // The server identifier goes into every reply, the NAK included (RFC 2131 4.3.2).
    AddReplyOption(record, OPT_SERVER_IDENTIFIER, BigEndian(context.serverAddress));
    if (record.replyType != DHCPNAK) {
        record.leaseTime = GrantedLease(record.leaseTime);
        AddReplyOption(record, OPT_LEASE_TIME, BigEndian(record.leaseTime));
        AddReplyOption(record, OPT_SUBNET_MASK, BigEndian(context.subnetMask));
        if (record.hostName.empty()) {
            char text[8];
            std::string generated;
            for (std::size_t i = 0; i < HardwareLength(record); ++i) {
                std::snprintf(text, sizeof text, i == 0 ? "Host%02x" : "%02x",
                              record.packet[DHCP_OFF_CHADDR + i]);
                generated += text;
            }
            record.hostName = generated;
        }
        if (!deviceName.empty()) {
            const std::string name = CutUtf8(NameText(std::span(
                reinterpret_cast<const std::uint8_t*>(deviceName.data()), deviceName.size()),
                deviceName.size()), MAX_SENT_NAME);
            if (!name.empty()) {
                AddReplyOption(record, OPT_HOST_NAME,
                               std::span(reinterpret_cast<const std::uint8_t*>(name.data()),
                                         name.size()));
                record.hostName = name;
            }
        }
        for (const auto* echoed :
             {&record.clientIdentifier, &record.subnetSelection, &record.relayAgentInformation})
            if (echoed->size() >= 2)
                AddReplyOption(record, (*echoed)[0],
                               std::span(echoed->data() + 2, echoed->size() - 2));
    }
    record.packet[record.writePosition] = OPT_END;
    return true;
}

DhcpOutcome HandleDatagram(std::span<const std::uint8_t> datagram, DhcpEndpoint source,
                           const DhcpServerContext& context, DhcpDiscoverCounter& counter,
                           bool offerMode)
{
    DhcpOutcome outcome;
    data9& record = outcome.record;
    outcome.ignored = ParseRequest(datagram, source, record);
    if (outcome.ignored != DhcpIgnored::None)
        return outcome;
    outcome.parsed = true;

    if (record.messageType == DHCPDISCOVER)
        outcome.listed = counter.Count(record.macText);

    const DhcpAssignment* assignment = context.Find(record.macText);
    switch (record.messageType) {
    case DHCP_NONE: outcome.ignored = DhcpIgnored::PlainBootp; return outcome;

    case DHCPDISCOVER:
        if (!offerMode || assignment == nullptr || !assignment->offerArmed ||
            assignment->address == 0) {
            outcome.ignored = DhcpIgnored::ListedOnly;
            return outcome;
        }
        if (!context.hostName.empty() && SameTextIgnoringCase(record.hostName, context.hostName)) {
            outcome.ignored = DhcpIgnored::OwnHostName;
            return outcome;
        }
        outcome.reply =
            BuildReply(record, context, DHCPOFFER, assignment->address, assignment->deviceName);
        break;

    case DHCPREQUEST: {
        // A client that selected another server is that server's business.
        if (record.hasServerIdentifier && record.serverIdentifier != context.serverAddress) {
            outcome.ignored = DhcpIgnored::OtherServer;
            return outcome;
        }
        if (assignment == nullptr || assignment->address == 0) {
            outcome.ignored = DhcpIgnored::Unassigned;
            return outcome;
        }
        // The address the client asks for: option 50, or ciaddr when renewing.
        const std::uint32_t ciaddr = GetU32(record, DHCP_OFF_CIADDR);
        const bool asks = record.hasRequestedAddress || ciaddr != 0;
        const std::uint32_t asked = record.hasRequestedAddress ? record.requestedAddress : ciaddr;
        if (asks && asked == assignment->address)
            outcome.reply =
                BuildReply(record, context, DHCPACK, assignment->address, assignment->deviceName);
        else
            outcome.reply = BuildReply(record, context, DHCPNAK, 0, {});
        break;
    }

    default: outcome.ignored = DhcpIgnored::NotAnswered; return outcome;
    }
    if (!outcome.reply)
        outcome.ignored = DhcpIgnored::ReplyTooLarge;
    return outcome;
}

}  // namespace varnel
