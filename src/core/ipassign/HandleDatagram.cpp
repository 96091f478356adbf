#include "core/ipassign/HandleDatagram.h"

#include <algorithm>
#include <cctype>

#include "core/ipassign/DhcpOptionWriter.h"

namespace varnel {

namespace {

constexpr std::uint32_t BROADCAST = 0xFFFFFFFF;
// The smallest BOOTP message older clients and relays accept (RFC 1542).
constexpr std::size_t MIN_REPLY_SIZE = 300;

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

DhcpEndpoint Destination(const data9& record, const DhcpServerContext& context)
{
    const std::uint32_t giaddr = PacketU32(record, DHCP_OFF_GIADDR);
    if (giaddr != 0) return {giaddr, context.relayPort};
    // A NAK goes to everyone on the link: the client's address is the one refused.
    if (record.replyType == DHCPNAK) return {BROADCAST, context.clientPort};
    if (!BroadcastFlag(record) && record.peerAddress != 0 && !record.hasRequestedAddress)
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
    PutPacketU32(record, DHCP_OFF_YIADDR, yourAddress);
    const bool relayed = PacketU32(record, DHCP_OFF_GIADDR) != 0;
    // A relay must broadcast the NAK on the client's link (RFC 2131 4.3.2).
    if (type == DHCPNAK && relayed) record.packet[DHCP_OFF_FLAGS] |= 0x80;
    if (!BuildReplyOptions(record, context, deviceName)) return std::nullopt;
    DhcpReply reply;
    // Zeros after the end byte up to the BOOTP minimum; the options above
    // already kept within the client's maximum message size.
    reply.size = std::max(record.writePosition + 1, MIN_REPLY_SIZE);
    reply.destination = Destination(record, context);
    reply.dontRoute = !relayed;
    reply.type = type;
    reply.yourAddress = yourAddress;
    return reply;
}

// DISCOVER: an OFFER of the armed assignment's address, in offer mode only.
DhcpIgnored DecideOffer(DhcpOutcome& outcome, const DhcpServerContext& context,
                        const DhcpAssignment* assignment, bool offerMode)
{
    data9& record = outcome.record;
    if (!offerMode || assignment == nullptr || !assignment->offerArmed || assignment->address == 0)
        return DhcpIgnored::ListedOnly;
    if (!context.hostName.empty() && SameTextIgnoringCase(record.hostName, context.hostName))
        return DhcpIgnored::OwnHostName;
    outcome.reply =
        BuildReply(record, context, DHCPOFFER, assignment->address, assignment->deviceName);
    return DhcpIgnored::None;
}

// REQUEST: the assigned MAC gets the ACK of its address when it names this
// server or asks for that address (option 50 or ciaddr); asking for another
// address, or for nothing without naming a server, gets the NAK.
DhcpIgnored DecideAck(DhcpOutcome& outcome, const DhcpServerContext& context,
                      const DhcpAssignment* assignment)
{
    data9& record = outcome.record;
    // A client that selected another server is that server's business.
    if (record.hasServerIdentifier && record.serverIdentifier != context.serverAddress)
        return DhcpIgnored::OtherServer;
    if (assignment == nullptr || assignment->address == 0) return DhcpIgnored::Unassigned;
    const std::uint32_t asked = AskedAddress(record);
    const bool granted = asked != 0 ? asked == assignment->address : record.hasServerIdentifier;
    if (granted)
        outcome.reply =
            BuildReply(record, context, DHCPACK, assignment->address, assignment->deviceName);
    else
        outcome.reply = BuildReply(record, context, DHCPNAK, 0, {});
    return DhcpIgnored::None;
}

}  // namespace

DhcpOutcome HandleDatagram(std::span<const std::uint8_t> datagram, DhcpEndpoint source,
                           const DhcpServerContext& context, DhcpDiscoverCounter& counter,
                           bool offerMode)
{
    DhcpOutcome outcome;
    HandleDatagram(datagram, source, context, counter, offerMode, outcome);
    return outcome;
}

void HandleDatagram(std::span<const std::uint8_t> datagram, DhcpEndpoint source,
                    const DhcpServerContext& context, DhcpDiscoverCounter& counter, bool offerMode,
                    DhcpOutcome& outcome)
{
    outcome.parsed = false;
    outcome.listed = false;
    outcome.reply.reset();
    data9& record = outcome.record;
    outcome.ignored = ParseRequest(datagram, source.address, source.port, record);
    if (outcome.ignored != DhcpIgnored::None) return;
    outcome.parsed = true;
    if (record.messageType == DHCPDISCOVER) outcome.listed = counter.Count(record.macText);

    const DhcpAssignment* assignment = context.Find(record.macText);
    switch (record.messageType) {
        case DHCP_NONE: outcome.ignored = DhcpIgnored::PlainBootp; break;
        case DHCPDISCOVER:
            outcome.ignored = DecideOffer(outcome, context, assignment, offerMode);
            break;
        case DHCPREQUEST: outcome.ignored = DecideAck(outcome, context, assignment); break;
        default: outcome.ignored = DhcpIgnored::NotAnswered; break;
    }
    if (outcome.ignored == DhcpIgnored::None && !outcome.reply)
        outcome.ignored = DhcpIgnored::ReplyTooLarge;
}

}  // namespace varnel
