#pragma once
// data9: the record of one BOOTP/DHCP exchange, the element of the request
// table. It holds the received datagram and what was read from it; the reply
// is built in place over the packet.
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnel {

// Sizes and offsets of a BOOTP/DHCP packet (RFC 951 / RFC 2131).
constexpr std::size_t DHCP_PACKET_SIZE = 1024;
constexpr std::size_t DHCP_HEADER_SIZE = 236;  // op .. file, without the magic cookie
constexpr std::size_t DHCP_OPTIONS_OFFSET = 240;
constexpr std::size_t DHCP_OFF_OP = 0;
constexpr std::size_t DHCP_OFF_HLEN = 2;
constexpr std::size_t DHCP_OFF_FLAGS = 10;
constexpr std::size_t DHCP_OFF_CIADDR = 12;
constexpr std::size_t DHCP_OFF_YIADDR = 16;
constexpr std::size_t DHCP_OFF_GIADDR = 24;
constexpr std::size_t DHCP_OFF_CHADDR = 28;
constexpr std::size_t DHCP_OFF_SNAME = 44;

// Option codes this server reads or writes (RFC 2132, RFC 3046, RFC 3011).
enum DhcpOption : std::uint8_t {
    DHCP_OPT_PAD = 0,
    DHCP_OPT_SUBNET_MASK = 1,
    DHCP_OPT_HOST_NAME = 12,
    DHCP_OPT_REQUESTED_ADDRESS = 50,
    DHCP_OPT_LEASE_TIME = 51,
    DHCP_OPT_MESSAGE_TYPE = 53,
    DHCP_OPT_SERVER_IDENTIFIER = 54,
    DHCP_OPT_MAX_MESSAGE_SIZE = 57,
    DHCP_OPT_CLIENT_IDENTIFIER = 61,
    DHCP_OPT_RELAY_AGENT_INFORMATION = 82,
    DHCP_OPT_SUBNET_SELECTION = 118,
    DHCP_OPT_END = 255,
};

// Message types of option 53.
enum DhcpMessageType : std::uint8_t {
    DHCP_NONE = 0,  // plain BOOTP
    DHCPDISCOVER = 1,
    DHCPOFFER = 2,
    DHCPREQUEST = 3,
    DHCPDECLINE = 4,
    DHCPACK = 5,
    DHCPNAK = 6,
    DHCPRELEASE = 7,
    DHCPINFORM = 8,
};

// "DISCOVER", "OFFER", ... ("BOOTP" for 0, "TYPE<n>" for unknown types).
std::string DhcpTypeName(std::uint8_t type);

struct data9 {
    // Lease asked for in option 51 (0 if none); the lease granted once a reply is built.
    std::uint32_t leaseTime = 0;
    // The received datagram (at most 1024 bytes kept); the reply is built over it.
    std::array<std::uint8_t, DHCP_PACKET_SIZE> packet{};
    // Option 12 cut at the first '.' (at most 63 bytes), or the name given in
    // the reply; bytes as on the wire (the code page, GB2312).
    std::string hostName;
    // chaddr as "xx:xx:..", lower case, hlen bytes (at most 16).
    std::string macText;
    // Option 54 and option 50 of the request (host order), with their presence.
    std::uint32_t serverIdentifier = 0;
    bool hasServerIdentifier = false;
    std::uint32_t requestedAddress = 0;
    bool hasRequestedAddress = false;
    // Bytes received (at most 1024 are kept in the packet).
    std::int32_t transferLength = 0;
    // Sender of the request (host order address, port).
    std::uint32_t peerAddress = 0;
    std::uint16_t peerPort = 0;
    // Option 57; 1024 for DHCP messages without it, the received length for plain BOOTP.
    std::uint16_t maxMessageSize = 0;
    // Offset in the packet where the next reply option goes.
    std::size_t writePosition = DHCP_OPTIONS_OFFSET;
    // Options 82, 61 and 118 as received (code, length, data); empty if absent.
    std::vector<std::uint8_t> relayAgentInformation;
    std::vector<std::uint8_t> clientIdentifier;
    std::vector<std::uint8_t> subnetSelection;
    // One flag per option code already put into the reply.
    std::bitset<256> addedOptions;
    // Option 53 of the request (0 = plain BOOTP) and the type of the reply built (0 = none).
    std::uint8_t messageType = DHCP_NONE;
    std::uint8_t replyType = DHCP_NONE;
};

// The records of the listed requests: the last ROWS are kept, a flood drops
// the oldest and counts them. Once full, a new row is copied over the oldest
// one in place, keeping its storage.
class DhcpRequestTable {
public:
    static constexpr std::size_t ROWS = 1000;

    void Add(const data9& record)
    {
        if (rows.size() < ROWS) {
            rows.push_back(record);
            return;
        }
        rows[oldest] = record;
        oldest = (oldest + 1) % ROWS;
        ++dropped;
    }
    std::size_t Size() const { return rows.size(); }
    // The i-th row kept, oldest first.
    const data9& Row(std::size_t i) const { return rows[(oldest + i) % rows.size()]; }
    // Rows dropped since the start.
    std::size_t Dropped() const { return dropped; }

private:
    std::vector<data9> rows;
    std::size_t oldest = 0;
    std::size_t dropped = 0;
};

}  // namespace varnel
