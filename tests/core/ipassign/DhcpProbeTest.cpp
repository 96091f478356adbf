// Finding other DHCP servers: the probe's DISCOVER, which datagrams on the
// client port are a server's OFFER or ACK, and the watch that warns once per
// server and lets the warning go after five minutes of silence.
#include <gtest/gtest.h>

#include "core/ipassign/DhcpProbe.h"
#include "support/TestSupport.h"

using namespace varnel;

namespace {
// A server's reply to the probe from `mac`: op 2, xid 01020304, yiaddr
// 10.0.0.50, then `options` (hex, end byte included).
std::vector<std::uint8_t> Reply(const std::array<std::uint8_t, 6>& mac, const std::string& options)
{
    auto p = BuildProbeDiscover(mac, 0x01020304);
    p.resize(240);
    p[0] = 2;
    p[16] = 10, p[17] = 0, p[18] = 0, p[19] = 50;
    for (auto b : testsupport::Bytes(options)) p.push_back(b);
    return p;
}
}  // namespace

TEST(DhcpProbe, DiscoverFromARandomLocalMac)
{
    for (std::uint64_t random : {0x0ull, 0xFFFFFFFFFFFFull, 0x123456789ABCull}) {
        const auto mac = ProbeMac(random);
        EXPECT_EQ(mac[0] & 0x03, 0x02) << random;  // unicast, locally administered
        const auto p = BuildProbeDiscover(mac, 0xCAFEF00D);
        ASSERT_EQ(p.size(), 300u);
        EXPECT_EQ(std::vector<std::uint8_t>(p.begin(), p.begin() + 12),
                  testsupport::Bytes("01 01 06 00 ca fe f0 0d 00 00 80 00"));
        EXPECT_TRUE(std::equal(mac.begin(), mac.end(), p.begin() + 28));
        EXPECT_EQ(std::vector<std::uint8_t>(p.begin() + 236, p.begin() + 253),
                  testsupport::Bytes("63 82 53 63 35 01 01 37 03 01 03 36 ff 00 00 00 00"));
    }
}

TEST(DhcpProbe, ServerRepliesAndTheWatch)
{
    const auto mac = ProbeMac(42);
    const std::uint32_t SOURCE = 0x0A000009, OTHER = 0x0A000002, OWN = 0x0A000001;
    // Options, the server read (0: not a server's OFFER or ACK), mask.
    const std::vector<std::tuple<std::string, std::uint32_t, std::uint32_t>> cases = {
        {"35 01 02 36 04 0a 00 00 02 01 04 ff ff ff 00 ff", OTHER, 0xFFFFFF00},
        {"00 00 35 01 05 ff", SOURCE, 0},         // ACK without identifier: the source
        {"35 01 06 36 04 0a 00 00 02 ff", 0, 0},  // NAK
        {"35 01 02 36 04 0a 00", SOURCE, 0},      // identifier cut short: the source
        {"ff", 0, 0},                             // plain BOOTP
    };
    for (const auto& [options, server, mask] : cases) {
        SCOPED_TRACE(options);
        const auto reply = ReadServerReply(Reply(mac, options), SOURCE);
        if (server == 0) {
            EXPECT_FALSE(reply);
            continue;
        }
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->Server(), server);
        EXPECT_EQ(reply->mask, mask);
        EXPECT_EQ(reply->offered, 0x0A000032u);
        EXPECT_EQ(reply->xid, 0x01020304u);
        EXPECT_EQ(reply->mac, mac);
    }
    auto request = Reply(mac, "35 01 02 ff");
    request[0] = 1;
    EXPECT_FALSE(ReadServerReply(request, SOURCE));
    EXPECT_FALSE(ReadServerReply(std::vector<std::uint8_t>(239, 2), SOURCE));
    EXPECT_EQ(ForeignServerWarning(OTHER),
              "警告: 另一个DHCP服务器 10.0.0.2 在应答 (warning: another DHCP server at 10.0.0.2 is "
              "answering)");

    // Own replies are not foreign; each foreign server is new once; the
    // warning stands until five minutes pass without any.
    ForeignServerWatch watch;
    watch.SetOwnAddresses({OWN});
    const auto from = [&](std::uint32_t id) {
        ServerReply r;
        r.serverId = id;
        r.source = id;
        return r;
    };
    EXPECT_FALSE(watch.Heard(from(OWN), 0));
    EXPECT_FALSE(watch.WarningStands(0));
    EXPECT_TRUE(watch.Heard(from(OTHER), 1000));
    EXPECT_FALSE(watch.Heard(from(OTHER), 2000));
    EXPECT_TRUE(watch.Heard(from(SOURCE), 3000));
    EXPECT_TRUE(watch.WarningStands(3000 + 299999));
    EXPECT_FALSE(watch.WarningStands(3000 + 300000));
}
