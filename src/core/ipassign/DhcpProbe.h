#pragma once
// Finding other DHCP servers on the network, without I/O: the DISCOVER a
// probe broadcasts, the reading of OFFER and ACK datagrams that reach the
// client port, and the watch that warns once per newly seen server and
// clears its warning after five minutes of silence.
#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace varnel {

// A unicast, locally administered MAC made from random bits (a new one per
// probe run, so no real device's lease is touched).
std::array<std::uint8_t, 6> ProbeMac(std::uint64_t random);

// A broadcast DHCPDISCOVER from `mac` with transaction `xid`: broadcast flag,
// option 55 asking for the subnet mask, router and server identifier (1, 3,
// 54); 300 bytes.
std::vector<std::uint8_t> BuildProbeDiscover(const std::array<std::uint8_t, 6>& mac,
                                             std::uint32_t xid);

// An OFFER or ACK as a server sent it (addresses in host order).
struct ServerReply {
    std::uint8_t type = 0;  // 2 OFFER, 5 ACK
    std::uint32_t xid = 0;
    std::array<std::uint8_t, 6> mac{};
    std::uint32_t serverId = 0;  // option 54, 0 if absent
    std::uint32_t source = 0;    // the datagram's source address
    std::uint32_t offered = 0;   // yiaddr
    std::uint32_t mask = 0;      // option 1, 0 if absent
    // The server's address: its identifier, else the source address.
    std::uint32_t Server() const { return serverId != 0 ? serverId : source; }
};

// Reads a datagram received on the client port; nullopt unless it is a
// BOOTP reply carrying DHCPOFFER or DHCPACK.
std::optional<ServerReply> ReadServerReply(std::span<const std::uint8_t> datagram,
                                           std::uint32_t source);

// One line of `dhcp-probe` for an offering server.
std::string ProbeLine(const ServerReply& reply);
// The one warning line naming a foreign server.
std::string ForeignServerWarning(std::uint32_t server);

// Replies from servers other than this computer's: which are new, and
// whether the warning still stands (times in milliseconds of any clock).
class ForeignServerWatch {
public:
    static constexpr std::int64_t SILENCE_MS = 5 * 60 * 1000;
    static constexpr std::size_t MAX_SERVERS = 256;

    // This computer's addresses: its own server's replies are not foreign.
    void SetOwnAddresses(std::set<std::uint32_t> addresses) { own = std::move(addresses); }
    // A reply heard at `nowMs`; true when it comes from a foreign server
    // not seen before (the one time it is to be warned about).
    bool Heard(const ServerReply& reply, std::int64_t nowMs);
    // A foreign server was heard within the last five minutes.
    bool WarningStands(std::int64_t nowMs) const;

private:
    std::set<std::uint32_t> own;
    std::set<std::uint32_t> seen;
    std::optional<std::int64_t> lastHeard;
};

}  // namespace varnel
