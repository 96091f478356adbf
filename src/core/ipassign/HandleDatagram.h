#pragma once
// The BOOTP/DHCP server's decisions: a received datagram and the server
// context in, the reply bytes and their destination (or no reply) out. No
// socket is touched here; the network adapter receives and sends.
#include <cstdint>
#include <optional>
#include <span>

#include "core/ipassign/DhcpRequestView.h"
#include "core/ipassign/DhcpServerContext.h"
#include "core/ipassign/data9.h"

namespace varnel {

// An IPv4 address and UDP port, host order.
struct DhcpEndpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const DhcpEndpoint&) const = default;
};

// The reply is built over the record's packet: its bytes are the packet's
// first `size` (DhcpOutcome::ReplyBytes), so building one allocates nothing.
struct DhcpReply {
    std::size_t size = 0;
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

    // The reply's bytes (empty without a reply).
    std::span<const std::uint8_t> ReplyBytes() const
    {
        return reply ? std::span(record.packet).first(reply->size)
                     : std::span<const std::uint8_t>{};
    }
};

// Answers one received datagram. `offerMode` lets DISCOVERs from MACs with an
// armed assignment be answered with an OFFER; DISCOVERs are counted (and
// listed every other time per MAC) in any mode. REQUESTs are acknowledged
// only for assigned MACs, with their assigned address.
DhcpOutcome HandleDatagram(std::span<const std::uint8_t> datagram, DhcpEndpoint source,
                           const DhcpServerContext& context, DhcpDiscoverCounter& counter,
                           bool offerMode);
// The same into `outcome`, whose storage is reused: a server that keeps one
// outcome for every datagram allocates nothing per datagram.
void HandleDatagram(std::span<const std::uint8_t> datagram, DhcpEndpoint source,
                    const DhcpServerContext& context, DhcpDiscoverCounter& counter, bool offerMode,
                    DhcpOutcome& outcome);

}  // namespace varnel
