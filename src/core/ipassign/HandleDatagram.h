#pragma once
// The BOOTP/DHCP server's decisions: a received datagram and the server
// context in, the reply bytes and their destination (or no reply) out. No
// socket is touched here; the network adapter receives and sends.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/ipassign/DhcpServerContext.h"
#include "core/ipassign/data9.h"

namespace varnel {

// An IPv4 address and UDP port, host order.
struct DhcpEndpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const DhcpEndpoint&) const = default;
};

// Why a datagram got no reply (None when it got one).
enum class DhcpIgnored {
    None,
    TooShort,          // shorter than the BOOTP header
    NotARequest,       // op is not 1, e.g. another server's reply
    MalformedOptions,  // an option runs past the end of the datagram
    PlainBootp,        // no option 53
    NotAnswered,       // a type this server does not answer (DECLINE, RELEASE, INFORM, ...)
    ListedOnly,        // a DISCOVER and no offer armed for its MAC
    OtherServer,       // a REQUEST that selected another server (option 54)
    Unassigned,        // a REQUEST from a MAC without an assignment
    OwnHostName,       // the request carries this computer's host name
    ReplyTooLarge,     // not even option 53 fits the client's maximum message size
};

// Short English reason for logs ("not a request", ...).
const char* DhcpIgnoredText(DhcpIgnored reason);

struct DhcpReply {
    std::vector<std::uint8_t> bytes;
    DhcpEndpoint destination;
    // Sent without routing (the client is on the link the request came from).
    bool dontRoute = false;
    std::uint8_t type = DHCP_NONE;
    std::uint32_t yourAddress = 0;
};

struct DhcpOutcome {
    // The request as read (and the reply built over its packet).
    data9 record;
    // True when the datagram was read as a BOOTP request (record filled).
    bool parsed = false;
    // A DISCOVER to be listed in the request table.
    bool listed = false;
    std::optional<DhcpReply> reply;
    DhcpIgnored ignored = DhcpIgnored::None;
};

// Reads a received datagram into a record: the MAC text, options 12, 50, 51,
// 53, 54, 57, 61, 82 and 118, and the maximum message size. Only the first
// 1024 bytes are kept. Returns None or the reason the datagram is unusable.
DhcpIgnored ParseRequest(std::span<const std::uint8_t> datagram, DhcpEndpoint source,
                         data9& record);

// Answers one received datagram. `offerMode` lets DISCOVERs from MACs with an
// armed assignment be answered with an OFFER; DISCOVERs are counted (and
// listed every other time per MAC) in any mode. REQUESTs are acknowledged
// only for assigned MACs, with their assigned address.
DhcpOutcome HandleDatagram(std::span<const std::uint8_t> datagram, DhcpEndpoint source,
                           const DhcpServerContext& context, DhcpDiscoverCounter& counter,
                           bool offerMode);

// Appends one reply option at the write position if it was not added before
// and the reply, with its code and length bytes and the end byte, stays
// within the client's maximum message size (and the 1024-byte packet).
// Returns true when the option was added.
bool AddReplyOption(data9& record, std::uint8_t code, std::span<const std::uint8_t> data);

// Puts the reply options in their order (53, 54, 51, 1, 12, 61, 118, 82) and
// the end byte; `deviceName` is the assignment's name. Returns false when
// not even option 53 fits.
bool BuildReplyOptions(data9& record, const DhcpServerContext& context,
                       const std::string& deviceName);

// The lease granted for a lease asked for (0 = none asked).
std::uint32_t GrantedLease(std::uint32_t asked);

}  // namespace varnel
