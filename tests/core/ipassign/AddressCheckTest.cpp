// Whether another device holds an address: which ARP frames and neighbour
// entries name a holder, when the server offers at once or checks first, and
// what becomes of the OFFERs that waited (fake time).
#include <gtest/gtest.h>

#include "core/ipassign/AddressCheck.h"
#include "support/DhcpPacket.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::Bytes;

namespace {
constexpr std::uint32_t ADDRESS = 0x0A000005;  // 10.0.0.5
const MacAddress REQUESTER = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MacAddress HOLDER = {0x02, 0, 0, 0, 0xAA, 0x01};
}  // namespace

TEST(AddressCheck, ArpFramesAndNeighboursNameTheHolder)
{
    const auto probe = BuildArpProbe(HOLDER, ADDRESS);
    EXPECT_EQ(std::vector<std::uint8_t>(probe.begin(), probe.end()),
              Bytes("00 01 08 00 06 04 00 01 02 00 00 00 aa 01 00 00 00 00 "
                    "00 00 00 00 00 00 0a 00 00 05"));
    // htype ptype hlen plen op | sender MAC | sender IP | target MAC | target IP
    const std::string head = "00 01 08 00 06 04 ";
    const std::vector<std::pair<std::string, bool>> frames = {
        {head + "00 02 020000 00aa01 0a000005 001a2b 3c4d5e 00000000", true},   // reply
        {head + "00 01 020000 00aa01 0a000005 000000 000000 0a000005", true},   // announcement
        {head + "00 01 020000 00aa01 00000000 000000 000000 0a000005", false},  // its probe
        {head + "00 02 001a2b 3c4d5e 0a000005 000000 000000 00000000", false},  // the requester
        {head + "00 02 020000 00aa01 0a000006 000000 000000 00000000", false},  // another address
        {head + "00 02 000000 000000 0a000005 000000 000000 00000000", false},  // MAC 0
        {head + "00 03 020000 00aa01 0a000005 000000 000000 00000000", false},  // RARP request
        {"00 06 08 00 06 04 00 02 020000 00aa01 0a000005 000000 000000 000000", false},
        {head + "00 02 020000 00aa01 0a000005 000000 000000 0000", false},  // cut short
    };
    for (const auto& [hex, held] : frames) {
        const auto holder = ArpHolder(Bytes(hex), ADDRESS, REQUESTER);
        EXPECT_EQ(holder, held ? std::optional(HOLDER) : std::nullopt) << hex;
    }

    const std::string table =
        "IP address       HW type     Flags       HW address            Mask     Device\n"
        "10.0.0.5         0x1         0x2         02:00:00:00:AA:01     *        eth0\n"
        "10.0.0.6         0x1         0x0         00:00:00:00:00:00     *        eth0\n"
        "10.0.0.7         0x1         0x2         00:1a:2b:3c:4d:5e     *        eth0\n";
    EXPECT_EQ(EchoHolder(table, ADDRESS, REQUESTER), HOLDER);
    EXPECT_EQ(EchoHolder(table, 0x0A000006, REQUESTER), MacAddress{});  // not resolved: unknown
    EXPECT_EQ(EchoHolder(table, 0x0A000007, REQUESTER), std::nullopt);  // the requester itself
    EXPECT_EQ(HolderText(MacAddress{}), "?");
    EXPECT_EQ(ParseMac("00:1A:2b:3c:4d:5e"), REQUESTER);
    for (const char* bad : {"00-1A-2B-3C-4D-5E", "00:1A:2B:3C:4D:5G", "00:1A:2B:3C:4D:5"})
        EXPECT_EQ(ParseMac(bad), std::nullopt) << bad;
    EXPECT_EQ(AddressInUseLine(ADDRESS, FormatMac(HOLDER)),
              "地址 10.0.0.5 已被 02:00:00:00:aa:01 使用 (address 10.0.0.5 is in use by "
              "02:00:00:00:aa:01)");
}

TEST(AddressCheck, OfferAtOnceOnlyWhileAFreeResultIsFresh)
{
    DhcpServerContext context;
    context.serverAddress = 0x0A000001;
    context.assignments.push_back({"00:1a:2b:3c:4d:5e", ADDRESS, "", true});
    const auto serve = [&](std::uint32_t giaddr, const std::string& options) {
        DhcpDiscoverCounter counter;
        testsupport::DhcpRequest r;
        r.giaddr = giaddr;
        r.options = Bytes(options);
        return HandleDatagram(testsupport::DhcpPacket(r), {0, 68}, context, counter, true);
    };
    const DhcpOutcome offer = serve(0, "35 01 01");
    ASSERT_TRUE(offer.reply);
    EXPECT_EQ(RequesterMac(offer.record), REQUESTER);
    AddressCheckCache cache;
    // Never checked, free a moment ago, free five seconds ago, held.
    EXPECT_EQ(BeforeReply(offer, cache, 0), OfferCheck::Check);
    cache.Free(ADDRESS, 1000);
    EXPECT_EQ(BeforeReply(offer, cache, 5999), OfferCheck::Send);
    EXPECT_EQ(BeforeReply(offer, cache, 6000), OfferCheck::Check);
    cache.Held(ADDRESS, HOLDER);
    EXPECT_EQ(cache.Look(ADDRESS, 6000), AddressCheckCache::State::Held);
    EXPECT_EQ(cache.Holder(ADDRESS), HOLDER);
    EXPECT_EQ(BeforeReply(offer, cache, 6000), OfferCheck::Check);
    // A relayed DISCOVER and a REQUEST's ACK go out unchecked.
    EXPECT_EQ(BeforeReply(serve(0x0A010101, "35 01 01"), cache, 6000), OfferCheck::Send);
    EXPECT_EQ(BeforeReply(serve(0, "35 01 03 32 04 0a 00 00 05"), cache, 6000), OfferCheck::Send);

    // While a check runs the newest OFFER waits; the result sends it (free)
    // or withholds it (held), and is kept.
    EXPECT_FALSE(cache.Hold({offer, 3, 1}));
    const auto older = cache.Hold({offer, 4, 1});
    ASSERT_TRUE(older);
    EXPECT_EQ(older->interfaceIndex, 3u);
    EXPECT_FALSE(older->outcome.reply);
    EXPECT_EQ(older->outcome.ignored, DhcpIgnored::AddressChecking);
    const auto sent = cache.Finish(ADDRESS, std::nullopt, 7000);
    ASSERT_TRUE(sent && sent->outcome.reply);
    EXPECT_EQ(sent->interfaceIndex, 4u);
    EXPECT_EQ(cache.Look(ADDRESS, 11999), AddressCheckCache::State::Free);
    EXPECT_FALSE(cache.Finish(ADDRESS, std::nullopt, 7000));  // nothing waits now
    cache.Hold({offer, 4, 1});
    const auto withheld = cache.Finish(ADDRESS, HOLDER, 8000);
    ASSERT_TRUE(withheld);
    EXPECT_FALSE(withheld->outcome.reply);
    EXPECT_EQ(withheld->outcome.ignored, DhcpIgnored::AddressHeld);
    EXPECT_EQ(cache.Look(ADDRESS, 8000), AddressCheckCache::State::Held);
}
