#include "core/ipassign/DhcpProbe.h"

#include "core/ipassign/ByteReader.h"
#include "core/ipassign/data9.h"
#include "core/util/Ipv4.h"

namespace varnel {

namespace {
constexpr std::size_t BOOTP_MIN_SIZE = 300;
constexpr std::uint32_t MAGIC_COOKIE = 0x63825363;

void Put32(std::vector<std::uint8_t>& p, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}
}  // namespace

std::array<std::uint8_t, 6> ProbeMac(std::uint64_t random)
{
    std::array<std::uint8_t, 6> mac{};
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[i] = static_cast<std::uint8_t>(random >> (8 * i));
    mac[0] = static_cast<std::uint8_t>((mac[0] & 0xFC) | 0x02);  // unicast, locally administered
    return mac;
}

std::vector<std::uint8_t> BuildProbeDiscover(const std::array<std::uint8_t, 6>& mac,
                                             std::uint32_t xid)
{
    std::vector<std::uint8_t> p(DHCP_OPTIONS_OFFSET, 0);
    p[DHCP_OFF_OP] = 1;
    p[1] = 1;  // Ethernet
    p[DHCP_OFF_HLEN] = 6;
    Put32(p, 4, xid);
    p[DHCP_OFF_FLAGS] = 0x80;  // broadcast: answer to everyone, we have no address yet
    std::copy(mac.begin(), mac.end(), p.begin() + DHCP_OFF_CHADDR);
    Put32(p, DHCP_HEADER_SIZE, MAGIC_COOKIE);
    // 53 = DISCOVER; 55 asks for 1 (mask), 3 (router), 54 (server identifier).
    const std::uint8_t options[] = {53, 1, DHCPDISCOVER, 55, 3, 1, 3, 54, DHCP_OPT_END};
    for (std::uint8_t b : options) p.push_back(b);
    p.resize(BOOTP_MIN_SIZE, 0);
    return p;
}

std::optional<ServerReply> ReadServerReply(std::span<const std::uint8_t> datagram,
                                           std::uint32_t source)
{
    ByteReader header(datagram);
    std::uint8_t op = 0, htype = 0, hlen = 0;
    std::uint32_t cookie = 0;
    ServerReply reply;
    reply.source = source;
    std::span<const std::uint8_t> chaddr;
    if (!header.U8(op) || op != 2 || !header.U8(htype) || !header.U8(hlen) || !header.Skip(1) ||
        !header.U32be(reply.xid) || !header.Skip(8) || !header.U32be(reply.offered) ||
        !header.Skip(8) || !header.Take(16, chaddr) || !header.Skip(192) || !header.U32be(cookie) ||
        cookie != MAGIC_COOKIE)
        return std::nullopt;
    std::copy(chaddr.begin(), chaddr.begin() + 6, reply.mac.begin());
    ByteReader options(datagram.subspan(DHCP_OPTIONS_OFFSET));
    std::uint8_t code = 0, length = 0;
    while (options.U8(code) && code != DHCP_OPT_END) {
        if (code == DHCP_OPT_PAD) continue;
        std::span<const std::uint8_t> data;
        if (!options.U8(length) || !options.Take(length, data)) break;
        ByteReader value(data);
        if (code == DHCP_OPT_MESSAGE_TYPE && length == 1) value.U8(reply.type);
        if (code == DHCP_OPT_SERVER_IDENTIFIER && length == 4) value.U32be(reply.serverId);
        if (code == DHCP_OPT_SUBNET_MASK && length == 4) value.U32be(reply.mask);
    }
    if (reply.type != DHCPOFFER && reply.type != DHCPACK) return std::nullopt;
    return reply;
}

std::string ProbeLine(const ServerReply& r)
{
    return "DHCP服务器 " + FormatIpv4(r.Server()) + " (server identifier " +
           FormatIpv4(r.serverId) + ", source " + FormatIpv4(r.source) + ") offers " +
           FormatIpv4(r.offered) + " mask " + FormatIpv4(r.mask);
}

std::string ForeignServerWarning(std::uint32_t server)
{
    const std::string a = FormatIpv4(server);
    return "警告: 另一个DHCP服务器 " + a + " 在应答 (warning: another DHCP server at " + a +
           " is answering)";
}

bool ForeignServerWatch::Heard(const ServerReply& reply, std::int64_t nowMs)
{
    if (own.contains(reply.Server()) || own.contains(reply.source)) return false;
    lastHeard = nowMs;
    if (seen.contains(reply.Server())) return false;
    // A flood of forged identifiers forgets the oldest rather than grows.
    if (seen.size() >= MAX_SERVERS) seen.erase(seen.begin());
    seen.insert(reply.Server());
    return true;
}

bool ForeignServerWatch::WarningStands(std::int64_t nowMs) const
{
    return lastHeard && nowMs - *lastHeard < SILENCE_MS;
}

}  // namespace varnel
