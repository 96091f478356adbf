// The BOOTP/DHCP server's replies, byte for byte, for the cases that catch
// real faults: listing parity, option order, lease limits, destinations,
// NAK, relay, ignored datagrams and the client's maximum message size.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/ipassign/HandleDatagram.h"
#include "core/ipassign/Ipv4.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::Bytes;

namespace {

constexpr std::uint32_t SERVER = 0xC0A80101;  // 192.168.1.1
constexpr std::uint32_t GATEWAY = 0xC0A80114;  // 192.168.1.20
constexpr std::uint32_t BROADCAST = 0xFFFFFFFF;
const std::vector<std::uint8_t> MAC = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

// The fields of a client's request that the cases vary.
struct Request {
    std::uint8_t op = 1;
    std::vector<std::uint8_t> mac = MAC;
    std::uint16_t flags = 0x8000;
    std::uint32_t ciaddr = 0;
    std::uint32_t giaddr = 0;
    std::vector<std::uint8_t> options;  // after the magic cookie, without the end byte
};

// Appends without vector::insert, which GCC 12 at -O3 warns about falsely.
void Append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& part)
{
    const std::size_t at = out.size();
    out.resize(at + part.size());
    if (!part.empty())
        std::memcpy(out.data() + at, part.data(), part.size());
}

void Put32(std::vector<std::uint8_t>& p, std::size_t at, std::uint32_t v)
{
    p[at] = v >> 24;
    p[at + 1] = v >> 16 & 0xFF;
    p[at + 2] = v >> 8 & 0xFF;
    p[at + 3] = v & 0xFF;
}

std::vector<std::uint8_t> Packet(const Request& r)
{
    std::vector<std::uint8_t> p(240, 0);
    p[0] = r.op;                         // op
    p[1] = 1;                            // htype Ethernet
    p[2] = static_cast<std::uint8_t>(r.mac.size());  // hlen
    Put32(p, 4, 0x12345678);             // xid
    p[10] = r.flags >> 8;                // flags
    p[11] = r.flags & 0xFF;
    Put32(p, 12, r.ciaddr);
    Put32(p, 24, r.giaddr);
    for (std::size_t i = 0; i < r.mac.size() && i < 16; ++i)
        p[28 + i] = r.mac[i];            // chaddr
    Put32(p, 236, 0x63825363);           // magic cookie
    Append(p, r.options);
    p.push_back(0xFF);
    return p;
}

std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> out;
    for (const auto& part : parts)
        Append(out, part);
    return out;
}

const auto DISCOVER = Bytes("35 01 01");
const auto REQUEST = Bytes("35 01 03");
const auto OUR_ID = Bytes("36 04 c0 a8 01 01");     // option 54 = 192.168.1.1
const auto ASK_GATEWAY = Bytes("32 04 c0 a8 01 14");  // option 50 = 192.168.1.20

DhcpServerContext Context()
{
    DhcpServerContext c;
    c.hostName = "laptop";
    c.serverAddress = SERVER;
    c.subnetMask = 0xFFFFFF00;
    c.assignments.push_back({"00:1A:2b:3c:4d:5e", GATEWAY, "gw1.local", true});
    return c;
}

struct Serve {
    DhcpOutcome outcome;
    explicit Serve(const Request& r, DhcpEndpoint source = {0, 68},
                 const DhcpServerContext& c = Context(), bool offerMode = true)
    {
        DhcpDiscoverCounter counter;
        outcome = HandleDatagram(Packet(r), source, c, counter, offerMode);
    }
    // The reply's options area, end byte included.
    std::vector<std::uint8_t> Options() const
    {
        const auto& b = outcome.reply->bytes;
        return {b.begin() + 240, b.end()};
    }
};

}  // namespace

TEST(Dhcp, DiscoverListingEveryOtherPerMac)
{
    DhcpServerContext c = Context();
    DhcpDiscoverCounter counter;
    Request a{.options = DISCOVER};
    Request b{.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F}, .options = DISCOVER};
    // Two gateways booting together: both are listed first time round.
    const std::vector<std::pair<const Request*, bool>> sequence = {
        {&a, true}, {&b, true}, {&a, false}, {&b, false}, {&a, true}, {&b, true}};
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        auto out = HandleDatagram(Packet(*sequence[i].first), {}, c, counter, false);
        EXPECT_EQ(out.listed, sequence[i].second) << "datagram " << i;
    }
    auto out = HandleDatagram(Packet(a), {}, c, counter, false);
    EXPECT_EQ(out.record.macText, "00:1a:2b:3c:4d:5e");
    EXPECT_FALSE(out.listed);
    counter.Clear();
    EXPECT_TRUE(HandleDatagram(Packet(a), {}, c, counter, false).listed);
    // Listing never answers on its own.
    EXPECT_FALSE(out.reply);
    EXPECT_EQ(out.ignored, DhcpIgnored::ListedOnly);
}

TEST(Dhcp, AckCarriesServerIdentifierInOptionOrder)
{
    Serve run({.options = Cat({REQUEST, OUR_ID, ASK_GATEWAY})});
    ASSERT_TRUE(run.outcome.reply);
    const auto& reply = *run.outcome.reply;
    EXPECT_EQ(reply.type, DHCPACK);
    EXPECT_EQ(reply.destination, (DhcpEndpoint{BROADCAST, 68}));
    EXPECT_EQ(run.Options(), Bytes("35 01 05"            // 53: ACK
                                   "36 04 c0 a8 01 01"   // 54: 192.168.1.1
                                   "33 04 00 00 8c a0"   // 51: 36000 s
                                   "01 04 ff ff ff 00"   // 1: 255.255.255.0
                                   "0c 03 67 77 31"      // 12: "gw1"
                                   "ff"));
    EXPECT_EQ(reply.bytes.size(), 240u + 26 + 1);
    EXPECT_EQ(reply.bytes[0], 2);                                              // op reply
    EXPECT_EQ(std::vector(reply.bytes.begin() + 4, reply.bytes.begin() + 8),
              Bytes("12 34 56 78"));                                           // xid echoed
    EXPECT_EQ(std::vector(reply.bytes.begin() + 10, reply.bytes.begin() + 12),
              Bytes("80 00"));                                                 // flags echoed
    EXPECT_EQ(std::vector(reply.bytes.begin() + 16, reply.bytes.begin() + 20),
              Bytes("c0 a8 01 14"));                                           // yiaddr
    EXPECT_EQ(std::vector(reply.bytes.begin() + 28, reply.bytes.begin() + 34), MAC);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&reply.bytes[44])), "laptop");  // sname
    EXPECT_EQ(std::vector(reply.bytes.begin() + 236, reply.bytes.begin() + 240),
              Bytes("63 82 53 63"));
    EXPECT_EQ(run.outcome.record.hostName, "gw1");
}

TEST(Dhcp, OfferEchoesClientIdentifierSubnetSelectionAndRelayInformation)
{
    Serve run({.flags = 0,
             .options = Cat({DISCOVER, Bytes("52 03 01 01 07"),   // 82 first in the request
                             Bytes("3d 07 01 00 1a 2b 3c 4d 5e"),  // 61
                             Bytes("76 04 0a 00 00 00")})});       // 118
    ASSERT_TRUE(run.outcome.reply);
    EXPECT_EQ(run.outcome.reply->type, DHCPOFFER);
    EXPECT_TRUE(run.outcome.listed);
    // Source 0.0.0.0: broadcast although the flag is clear.
    EXPECT_EQ(run.outcome.reply->destination, (DhcpEndpoint{BROADCAST, 68}));
    EXPECT_EQ(run.Options(), Bytes("35 01 02 36 04 c0 a8 01 01 33 04 00 00 8c a0"
                                   "01 04 ff ff ff 00 0c 03 67 77 31"
                                   "3d 07 01 00 1a 2b 3c 4d 5e"  // 61, then 118, then 82
                                   "76 04 0a 00 00 00"
                                   "52 03 01 01 07 ff"));
}

TEST(Dhcp, OfferOnlyForArmedAssignmentsInOfferMode)
{
    DhcpServerContext unarmed = Context();
    unarmed.assignments[0].offerArmed = false;
    EXPECT_EQ(Serve({.options = DISCOVER}, {}, unarmed).outcome.ignored, DhcpIgnored::ListedOnly);
    EXPECT_EQ(Serve({.options = DISCOVER}, {}, Context(), false).outcome.ignored,
              DhcpIgnored::ListedOnly);
    Request stranger{.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x99}, .options = DISCOVER};
    EXPECT_FALSE(Serve(stranger).outcome.reply);
    // A request naming this computer's own host name is never given an address.
    EXPECT_EQ(Serve({.options = Cat({DISCOVER, Bytes("0c 06 4c 41 50 54 4f 50")})})  // "LAPTOP"
                  .outcome.ignored,
              DhcpIgnored::OwnHostName);
}

TEST(Dhcp, LeaseLimits)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "00 00 8c a0"},             // none asked: 36000
        {"00 00 02 58", "00 00 02 58"},  // 600
        {"00 00 8c 9f", "00 00 8c 9f"},  // 35999
        {"00 00 8c a0", "00 00 8c a0"},  // 36000
        {"00 00 8c a1", "00 00 8c a0"},  // 36001 -> 36000
        {"7f ff ff ff", "00 00 8c a0"},
        {"ff ff ff ff", "00 00 8c a0"},  // infinite asked -> 36000
    };
    for (const auto& [asked, granted] : cases) {
        auto options = Cat({REQUEST, OUR_ID, ASK_GATEWAY});
        if (!asked.empty())
            options = Cat({options, Bytes("33 04 " + asked)});
        Serve run({.options = options});
        ASSERT_TRUE(run.outcome.reply) << asked;
        const auto o = run.Options();
        EXPECT_EQ(std::vector(o.begin() + 9, o.begin() + 15), Bytes("33 04 " + granted)) << asked;
    }
}

TEST(Dhcp, RenewingClientIsAnsweredByUnicast)
{
    DhcpServerContext c = Context();
    c.assignments[0].address = 0x0A000005;  // 10.0.0.5
    Serve run({.flags = 0, .ciaddr = 0x0A000005, .options = REQUEST}, {0x0A000005, 68}, c);
    ASSERT_TRUE(run.outcome.reply);
    EXPECT_EQ(run.outcome.reply->type, DHCPACK);
    EXPECT_EQ(run.outcome.reply->yourAddress, 0x0A000005u);
    EXPECT_EQ(run.outcome.reply->destination, (DhcpEndpoint{0x0A000005, 68}));
    // With the broadcast flag set, or with option 50, the reply is broadcast.
    Serve flagged({.ciaddr = 0x0A000005, .options = REQUEST}, {0x0A000005, 68}, c);
    EXPECT_EQ(flagged.outcome.reply->destination, (DhcpEndpoint{BROADCAST, 68}));
}

TEST(Dhcp, WrongAddressGetsNakWithServerIdentifier)
{
    const std::vector<std::pair<const char*, Request>> cases = {
        {"option 50 for another address",
         {.options = Cat({REQUEST, OUR_ID, Bytes("32 04 c0 a8 01 63")})}},
        {"ciaddr of another address", {.flags = 0, .ciaddr = 0x0A090909, .options = REQUEST}},
        {"nothing asked for", {.options = REQUEST}},
    };
    for (const auto& [what, request] : cases) {
        Serve run(request, {request.ciaddr, 68});
        ASSERT_TRUE(run.outcome.reply) << what;
        EXPECT_EQ(run.outcome.reply->type, DHCPNAK) << what;
        EXPECT_EQ(run.Options(), Bytes("35 01 06 36 04 c0 a8 01 01 ff")) << what;
        EXPECT_EQ(run.outcome.reply->yourAddress, 0u) << what;
        EXPECT_EQ(run.outcome.reply->destination, (DhcpEndpoint{BROADCAST, 68})) << what;
        // sname is left as the client sent it.
        EXPECT_EQ(run.outcome.reply->bytes[44], 0) << what;
    }
}

TEST(Dhcp, RelayedRequestsGoToTheRelayAgent)
{
    DhcpServerContext c = Context();
    c.relayPort = 67;
    Serve offer({.flags = 0, .giaddr = 0x0A010101, .options = DISCOVER}, {0x0A010101, 67}, c);
    ASSERT_TRUE(offer.outcome.reply);
    EXPECT_EQ(offer.outcome.reply->destination, (DhcpEndpoint{0x0A010101, 67}));
    EXPECT_FALSE(offer.outcome.reply->dontRoute);
    Serve ack({.giaddr = 0x0A010101, .options = Cat({REQUEST, OUR_ID, ASK_GATEWAY})});
    EXPECT_EQ(ack.outcome.reply->destination, (DhcpEndpoint{0x0A010101, 67}));
    // A NAK through a relay asks the relay to broadcast it.
    Serve nak({.flags = 0, .giaddr = 0x0A010101, .options = REQUEST});
    ASSERT_TRUE(nak.outcome.reply);
    EXPECT_EQ(nak.outcome.reply->destination, (DhcpEndpoint{0x0A010101, 67}));
    EXPECT_EQ(nak.outcome.reply->bytes[10] & 0x80, 0x80);
}

TEST(Dhcp, DatagramsThatGetNoAnswer)
{
    std::vector<std::uint8_t> truncated = Packet({.options = Cat({REQUEST, OUR_ID})});
    truncated.resize(truncated.size() - 3);  // option 54 cut short, no end byte
    std::vector<std::uint8_t> tooShort = Packet({.options = REQUEST});
    tooShort.resize(235);
    const std::vector<std::tuple<const char*, std::vector<std::uint8_t>, DhcpIgnored>> cases = {
        {"plain BOOTP", Packet({.options = {}}), DhcpIgnored::PlainBootp},
        {"another server's reply (op 2)", Packet({.op = 2, .options = Bytes("35 01 05")}),
         DhcpIgnored::NotARequest},
        {"REQUEST selecting another server",
         Packet({.options = Cat({REQUEST, Bytes("36 04 c0 a8 01 02"), ASK_GATEWAY})}),
         DhcpIgnored::OtherServer},
        {"REQUEST from an unassigned MAC",
         Packet({.mac = {1, 2, 3, 4, 5, 6}, .options = Cat({REQUEST, ASK_GATEWAY})}),
         DhcpIgnored::Unassigned},
        {"DECLINE", Packet({.options = Bytes("35 01 04")}), DhcpIgnored::NotAnswered},
        {"RELEASE", Packet({.options = Bytes("35 01 07")}), DhcpIgnored::NotAnswered},
        {"INFORM", Packet({.options = Bytes("35 01 08")}), DhcpIgnored::NotAnswered},
        {"option running past the end", truncated, DhcpIgnored::MalformedOptions},
        {"shorter than the header", tooShort, DhcpIgnored::TooShort},
        {"empty", {}, DhcpIgnored::TooShort},
    };
    for (const auto& [what, datagram, reason] : cases) {
        DhcpDiscoverCounter counter;
        auto out = HandleDatagram(datagram, {}, Context(), counter, true);
        EXPECT_FALSE(out.reply) << what;
        EXPECT_EQ(out.ignored, reason) << what;
    }
}

TEST(Dhcp, ClientMaximumMessageSizeLimitsTheReply)
{
    // 240 + 53(3) + 54(6) + 51(6) + 1(6) + 12 "gw1"(5) = 266; the client
    // identifier then takes 2 + n bytes and the end byte 1.
    struct Case {
        std::size_t idLength;
        std::string maxSize;
        bool idSent;
        std::size_t replySize;
    };
    const std::vector<Case> cases = {
        {31, "01 2c", true, 300},   // 266 + 33 + 1 = 300: fits exactly
        {32, "01 2c", false, 267},  // one byte over: left out
        {32, "01 2d", true, 301},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> id(c.idLength, 0xAB);
        id.insert(id.begin(), {0x3D, static_cast<std::uint8_t>(c.idLength)});
        Serve run({.options = Cat({REQUEST, OUR_ID, ASK_GATEWAY, Bytes("39 02 " + c.maxSize), id})});
        ASSERT_TRUE(run.outcome.reply) << c.idLength;
        EXPECT_EQ(run.outcome.reply->bytes.size(), c.replySize) << c.idLength;
        EXPECT_EQ(run.outcome.record.addedOptions.test(61), c.idSent) << c.idLength;
        EXPECT_EQ(run.outcome.reply->bytes.back(), 0xFF);
    }
    // Room for option 53 and the end byte only.
    Serve tiny({.options = Cat({REQUEST, OUR_ID, ASK_GATEWAY, Bytes("39 02 00 f4")})});  // 244
    ASSERT_TRUE(tiny.outcome.reply);
    EXPECT_EQ(tiny.Options(), Bytes("35 01 05 ff"));
    // Not even that: no reply rather than one larger than the client takes.
    Serve none({.options = Cat({REQUEST, OUR_ID, ASK_GATEWAY, Bytes("39 02 00 f3")})});
    EXPECT_FALSE(none.outcome.reply);
    EXPECT_EQ(none.outcome.ignored, DhcpIgnored::ReplyTooLarge);
}

TEST(Dhcp, NamesAndMacText)
{
    DhcpServerContext noName = Context();
    noName.assignments[0].deviceName.clear();
    // No host name and no device name: a generated name is kept in the record, not sent.
    Serve generated({.options = Cat({REQUEST, OUR_ID, ASK_GATEWAY})}, {}, noName);
    EXPECT_EQ(generated.outcome.record.hostName, "Host001a2b3c4d5e");
    EXPECT_FALSE(generated.outcome.record.addedOptions.test(12));
    // The client's name is cut at the first '.' and at 63 characters.
    Serve dotted({.options = Cat({REQUEST, Bytes("0c 07 64 65 76 2e 6c 61 6e")})}, {}, noName);
    EXPECT_EQ(dotted.outcome.record.hostName, "dev");
    std::vector<std::uint8_t> longName(80, 'x');
    longName.insert(longName.begin(), {0x0C, 80});
    Serve cut({.options = Cat({DISCOVER, longName})}, {}, noName, false);
    EXPECT_EQ(cut.outcome.record.hostName, std::string(63, 'x'));
    // A device name is sent cut at 64 bytes.
    DhcpServerContext longDevice = Context();
    longDevice.assignments[0].deviceName = std::string(70, 'g');
    Serve sent({.options = Cat({REQUEST, OUR_ID, ASK_GATEWAY})}, {}, longDevice);
    const auto o = sent.Options();
    EXPECT_EQ(o[21], 0x0C);
    EXPECT_EQ(o[22], 64);
    // hlen above 16 is read as 16.
    Request wide{.mac = std::vector<std::uint8_t>(20, 0xAA), .options = DISCOVER};
    EXPECT_EQ(Serve(wide).outcome.record.macText.size(), 16u * 3 - 1);
}

TEST(Dhcp, EveryTruncationOfAValidRequestIsSafe)
{
    const auto full = Packet({.options = Cat({REQUEST, OUR_ID, ASK_GATEWAY, Bytes("0c 03 61 62 63"),
                                              Bytes("3d 07 01 00 1a 2b 3c 4d 5e")})});
    for (std::size_t n = 0; n <= full.size(); ++n) {
        DhcpDiscoverCounter counter;
        auto out = HandleDatagram(std::span(full).first(n), {}, Context(), counter, true);
        if (out.reply) {
            EXPECT_LE(out.reply->bytes.size(), 1024u);
            EXPECT_EQ(out.reply->bytes.back(), 0xFF);
        }
    }
    // Longer than the packet: only the first 1024 bytes are read.
    auto huge = full;
    huge.pop_back();
    huge.resize(2000, 0);  // pad bytes
    DhcpDiscoverCounter counter;
    auto out = HandleDatagram(huge, {}, Context(), counter, true);
    ASSERT_TRUE(out.reply);
    EXPECT_EQ(out.record.transferLength, 2000);
}
