#include "core/ipassign/AddressCheck.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "core/ipassign/ByteReader.h"
#include "core/util/Hex.h"
#include "core/util/Ipv4.h"

namespace varnel {

namespace {
constexpr std::uint16_t ARP_ETHERNET = 1;
constexpr std::uint16_t ARP_IPV4 = 0x0800;
constexpr std::uint16_t ARP_REQUEST = 1;
constexpr std::uint16_t ARP_REPLY = 2;
constexpr unsigned ATF_COMPLETE = 0x2;
}  // namespace

std::string FormatMac(const MacAddress& mac)
{
    std::string text;
    for (std::uint8_t byte : mac) {
        if (!text.empty()) text += ':';
        AppendHexByte(text, byte);
    }
    return text;
}

std::optional<MacAddress> ParseMac(std::string_view text)
{
    if (text.size() != 17) return std::nullopt;
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const int high = HexDigitValue(text[3 * i]), low = HexDigitValue(text[3 * i + 1]);
        if (high < 0 || low < 0 || (i < 5 && text[3 * i + 2] != ':')) return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return mac;
}

MacAddress RequesterMac(const data9& record)
{
    MacAddress mac{};
    std::copy_n(record.packet.begin() + DHCP_OFF_CHADDR, mac.size(), mac.begin());
    return mac;
}

std::array<std::uint8_t, 28> BuildArpProbe(const MacAddress& ours, std::uint32_t address)
{
    // htype(2) ptype(2) hlen(1) plen(1) op(2) sha(6) spa(4) tha(6) tpa(4)
    std::array<std::uint8_t, 28> p{};
    p[0] = 0, p[1] = ARP_ETHERNET;
    p[2] = ARP_IPV4 >> 8, p[3] = ARP_IPV4 & 0xFF;
    p[4] = 6;
    p[5] = 4;
    p[6] = 0, p[7] = ARP_REQUEST;
    std::copy(ours.begin(), ours.end(), p.begin() + 8);
    // spa 0.0.0.0 (bytes 14-17) and tha 0 (18-23): this probe claims nothing.
    p[24] = static_cast<std::uint8_t>(address >> 24);
    p[25] = static_cast<std::uint8_t>(address >> 16);
    p[26] = static_cast<std::uint8_t>(address >> 8);
    p[27] = static_cast<std::uint8_t>(address);
    return p;
}

std::optional<MacAddress> ArpHolder(std::span<const std::uint8_t> payload, std::uint32_t address,
                                    const MacAddress& requester)
{
    ByteReader r(payload);
    std::uint16_t htype = 0, ptype = 0, op = 0;
    std::uint8_t hlen = 0, plen = 0;
    std::uint32_t senderIp = 0;
    std::span<const std::uint8_t> sha;
    if (!r.U16be(htype) || !r.U16be(ptype) || !r.U8(hlen) || !r.U8(plen) || !r.U16be(op) ||
        !r.Take(6, sha) || !r.U32be(senderIp) || !r.Skip(10))
        return std::nullopt;
    if (htype != ARP_ETHERNET || ptype != ARP_IPV4 || hlen != 6 || plen != 4 ||
        (op != ARP_REQUEST && op != ARP_REPLY) || senderIp != address)
        return std::nullopt;
    MacAddress holder{};
    std::copy(sha.begin(), sha.end(), holder.begin());
    if (holder == requester || holder == MacAddress{}) return std::nullopt;
    return holder;
}

std::optional<MacAddress> EchoHolder(std::string_view table, std::uint32_t address,
                                     const MacAddress& requester)
{
    // IP address  HW type  Flags  HW address  Mask  Device
    std::istringstream lines{std::string(table)};
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string ip, type, flags, hw;
        if (!(fields >> ip >> type >> flags >> hw) || ParseIpv4(ip) != address) continue;
        if ((std::strtoul(flags.c_str(), nullptr, 16) & ATF_COMPLETE) == 0) continue;
        const MacAddress holder = ParseMac(hw).value_or(MacAddress{});
        if (holder == requester) return std::nullopt;
        return holder;
    }
    return MacAddress{};
}

std::string HolderText(const MacAddress& holder)
{
    return holder == MacAddress{} ? "?" : FormatMac(holder);
}

std::string AddressInUseText(std::uint32_t address, const std::string& holder)
{
    return "地址 " + FormatIpv4(address) + " 已被 " + holder + " 使用";
}

std::string AddressInUseLine(std::uint32_t address, const std::string& holder)
{
    return AddressInUseText(address, holder) + " (address " + FormatIpv4(address) +
           " is in use by " + holder + ")";
}

std::string AddressCheckOffLine(const std::string& why)
{
    return "地址占用检查已关闭 (the check for addresses already in use is off): " + why;
}

AddressCheckCache::State AddressCheckCache::Look(std::uint32_t address, std::int64_t nowMs) const
{
    const auto it = entries.find(address);
    if (it == entries.end()) return State::Unknown;
    const Entry& e = it->second;
    if (e.state == State::Free && nowMs - e.at >= FREE_MS) return State::Unknown;
    return e.state;
}

std::optional<MacAddress> AddressCheckCache::Holder(std::uint32_t address) const
{
    const auto it = entries.find(address);
    if (it == entries.end() || it->second.state != State::Held) return std::nullopt;
    return it->second.holder;
}

AddressCheckCache::Entry& AddressCheckCache::Slot(std::uint32_t address)
{
    // Bounded: a full cache forgets everything, which only costs new checks.
    if (entries.size() >= MAX_ADDRESSES && !entries.contains(address)) entries.clear();
    return entries[address];
}

void AddressCheckCache::Free(std::uint32_t address, std::int64_t nowMs)
{
    Slot(address) = Entry{State::Free, nowMs, {}};
}

void AddressCheckCache::Held(std::uint32_t address, const MacAddress& holder)
{
    Slot(address) = Entry{State::Held, 0, holder};
}

std::optional<HeldOffer> AddressCheckCache::Hold(HeldOffer offer)
{
    std::optional<HeldOffer> older;
    const std::uint32_t address = offer.outcome.reply->yourAddress;
    if (const auto it = waiting.find(address); it != waiting.end()) {
        older = std::move(it->second);
        older->outcome.reply.reset();
        older->outcome.ignored = DhcpIgnored::AddressChecking;
    }
    waiting[address] = std::move(offer);
    return older;
}

std::optional<HeldOffer> AddressCheckCache::Finish(std::uint32_t address,
                                                   const std::optional<MacAddress>& holder,
                                                   std::int64_t nowMs)
{
    if (holder)
        Held(address, *holder);
    else
        Free(address, nowMs);
    const auto it = waiting.find(address);
    if (it == waiting.end()) return std::nullopt;
    HeldOffer offer = std::move(it->second);
    waiting.erase(it);
    if (holder) {
        offer.outcome.reply.reset();
        offer.outcome.ignored = DhcpIgnored::AddressHeld;
    }
    return offer;
}

OfferCheck BeforeReply(const DhcpOutcome& outcome, const AddressCheckCache& cache,
                       std::int64_t nowMs)
{
    if (!outcome.reply || outcome.reply->type != DHCPOFFER) return OfferCheck::Send;
    if (PacketU32(outcome.record, DHCP_OFF_GIADDR) != 0) return OfferCheck::Send;
    if (cache.Look(outcome.reply->yourAddress, nowMs) == AddressCheckCache::State::Free)
        return OfferCheck::Send;
    return OfferCheck::Check;
}

}  // namespace varnel
