#pragma once
// Whether another device already holds an address before the server offers
// it, without I/O: the ARP probe to send (RFC 5227), the reading of the ARP
// frames and of the kernel's neighbour table that name a holder, the cache of
// results with the time passed in, and the server's choice for one reply
// (send now, or check first). The sockets are the network adapter's.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/ipassign/HandleDatagram.h"

namespace varnel {

using MacAddress = std::array<std::uint8_t, 6>;

// Lower-case "xx:xx:xx:xx:xx:xx".
std::string FormatMac(const MacAddress& mac);
// "XX:XX:XX:XX:XX:XX" in either case; nullopt for anything else.
std::optional<MacAddress> ParseMac(std::string_view text);
// The first six bytes of a request's chaddr: the MAC asking for the address.
MacAddress RequesterMac(const data9& record);

// The ARP payload of a probe for `address` from `ours` (28 bytes, as a
// packet socket of type SOCK_DGRAM sends it): request, sender IP 0.0.0.0,
// target MAC 0, target IP the address.
std::array<std::uint8_t, 28> BuildArpProbe(const MacAddress& ours, std::uint32_t address);
// The MAC of another device that claims `address` in a received ARP payload:
// a reply, a probe or an announcement whose sender IP is the address, from a
// MAC other than `requester` (a gateway re-requesting its own address
// answers for it) and not 0. nullopt for any other frame.
std::optional<MacAddress> ArpHolder(std::span<const std::uint8_t> payload, std::uint32_t address,
                                    const MacAddress& requester);
// The holder of an address that answered an ICMP echo, by its MAC in the
// kernel's neighbour table (the text of /proc/net/arp; all zero when it has
// no complete entry); nullopt when that MAC is `requester`.
std::optional<MacAddress> EchoHolder(std::string_view table, std::uint32_t address,
                                     const MacAddress& requester);
// A holder's MAC text; "?" for an unknown (all zero) one.
std::string HolderText(const MacAddress& holder);

// "地址 A 已被 MAC 使用", as the window shows it.
std::string AddressInUseText(std::uint32_t address, const std::string& holder);
// The same with its English, for the command line's log.
std::string AddressInUseLine(std::uint32_t address, const std::string& holder);
// Said once when no check can run, with the system's reasons.
std::string AddressCheckOffLine(const std::string& why);

// An OFFER held back while its address is checked, with where it goes out
// (the adapter's interface index and source address).
struct HeldOffer {
    DhcpOutcome outcome;
    std::uint32_t interfaceIndex = 0;
    std::uint32_t localAddress = 0;
};

// Results of past checks and the OFFERs waiting for a running one. A free
// address may be offered without a new check for FREE_MS; a held one is
// checked again at the next DISCOVER, so it is offered again soon after its
// holder leaves.
class AddressCheckCache {
public:
    static constexpr std::int64_t FREE_MS = 5000;
    static constexpr std::size_t MAX_ADDRESSES = 1024;
    enum class State { Unknown, Free, Held };

    State Look(std::uint32_t address, std::int64_t nowMs) const;
    // The last holder seen of a held address.
    std::optional<MacAddress> Holder(std::uint32_t address) const;
    void Free(std::uint32_t address, std::int64_t nowMs);
    void Held(std::uint32_t address, const MacAddress& holder);

    // Keeps an OFFER until its address's check ends. One waits per address,
    // the newest (the one its client awaits); the one it replaces is
    // returned without its reply (DhcpIgnored::AddressChecking).
    std::optional<HeldOffer> Hold(HeldOffer offer);
    // A check ended (`holder` nullopt: free): records the result and
    // returns the OFFER that waited for it, if any, its reply removed
    // (DhcpIgnored::AddressHeld) when the address is held.
    std::optional<HeldOffer> Finish(std::uint32_t address, const std::optional<MacAddress>& holder,
                                    std::int64_t nowMs);

private:
    struct Entry {
        State state = State::Unknown;
        std::int64_t at = 0;
        MacAddress holder{};
    };
    Entry& Slot(std::uint32_t address);
    std::map<std::uint32_t, Entry> entries;
    std::map<std::uint32_t, HeldOffer> waiting;
};

// The server's choice for one handled datagram. Only an OFFER to a request
// on the server's own link is checked (a relayed one is the relay's link,
// which no probe of ours reaches); an address found free in the last FREE_MS
// is offered at once.
enum class OfferCheck { Send, Check };
OfferCheck BeforeReply(const DhcpOutcome& outcome, const AddressCheckCache& cache,
                       std::int64_t nowMs);

}  // namespace varnel
