// The BOOTP/DHCP server's replies, byte for byte, for the cases that catch
// real faults: listing parity, option order, lease limits, which reply goes
// where, ignored datagrams, the client's maximum message size and names.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/ipassign/HandleDatagram.h"
#include "support/DhcpPacket.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::Bytes;
using Request = testsupport::DhcpRequest;

namespace {

constexpr std::uint32_t BROADCAST = 0xFFFFFFFF, GATEWAY = 0xC0A80114;  // 192.168.1.20
const std::string DISCOVER = "35 01 01 ";
const std::string REQUEST = "35 01 03 ";
const std::string OUR_ID = "36 04 c0 a8 01 01 ";       // option 54 = 192.168.1.1
const std::string ASK_GATEWAY = "32 04 c0 a8 01 14 ";  // option 50 = 192.168.1.20
const std::string SELECTING = REQUEST + OUR_ID + ASK_GATEWAY;
// Options 54, 51 (36000 s) and 1 (255.255.255.0) of every ACK and OFFER.
const std::string SERVER_OPTIONS = "36 04 c0 a8 01 01 33 04 00 00 8c a0 01 04 ff ff ff 00 ";

DhcpServerContext Context(const std::string& deviceName = "gw1.local", bool armed = true)
{
    DhcpServerContext c;
    c.hostName = "laptop";
    c.serverAddress = 0xC0A80101;
    c.subnetMask = 0xFFFFFF00;
    c.assignments.push_back({"00:1A:2b:3c:4d:5e", GATEWAY, deviceName, armed});
    return c;
}

DhcpOutcome Serve(const Request& r, DhcpEndpoint source = {0, 68},
                  const DhcpServerContext& c = Context(), bool offerMode = true)
{
    DhcpDiscoverCounter counter;
    return HandleDatagram(testsupport::DhcpPacket(r), source, c, counter, offerMode);
}

std::vector<std::uint8_t> Slice(std::span<const std::uint8_t> b, std::size_t at, std::size_t n)
{
    n = std::min(n, b.size() - at);
    return {b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n)};
}

// The reply's options area, end byte included.
std::vector<std::uint8_t> Options(const DhcpOutcome& o)
{
    return Slice(o.ReplyBytes(), 240, o.record.writePosition + 1 - 240);
}

}  // namespace

TEST(Dhcp, DiscoverListingEveryOtherPerMac)
{
    DhcpServerContext c = Context();
    DhcpDiscoverCounter counter;
    const auto a = testsupport::DhcpPacket({.options = Bytes(DISCOVER)});
    const auto b = testsupport::DhcpPacket(
        {.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F}, .options = Bytes(DISCOVER)});
    // Two gateways booting together: both are listed first time round.
    std::string listed;
    for (const auto* datagram : {&a, &b, &a, &b, &a, &b, &a})
        listed += HandleDatagram(*datagram, {}, c, counter, false).listed ? '1' : '0';
    EXPECT_EQ(listed, "1100110");
    counter.Clear();
    EXPECT_TRUE(HandleDatagram(a, {}, c, counter, false).listed);
}

TEST(Dhcp, RepliesInOptionOrder)
{
    const auto ack = Serve({.options = Bytes(SELECTING)});
    ASSERT_TRUE(ack.reply);
    EXPECT_EQ(Options(ack), Bytes("35 01 05" + SERVER_OPTIONS + "0c 03 67 77 31 ff"));  // 12: "gw1"
    // op reply, xid and flags echoed, yiaddr, chaddr, sname "laptop", cookie.
    const std::vector<std::pair<std::size_t, std::string>> header = {
        {0, "02"},           {4, "12 34 56 78"},        {10, "80 00"},
        {16, "c0 a8 01 14"}, {28, "00 1a 2b 3c 4d 5e"}, {44, "6c 61 70 74 6f 70 00"},
        {236, "63 82 53 63"}};
    for (const auto& [at, hex] : header)
        EXPECT_EQ(Slice(ack.ReplyBytes(), at, Bytes(hex).size()), Bytes(hex)) << at;
    EXPECT_EQ(ack.record.hostName, "gw1");

    // Options 61, 118 and 82 are echoed in that order, whatever the request's.
    const auto offer =
        Serve({.flags = 0,
               .options = Bytes(DISCOVER + "52 03 01 01 07 3d 07 01 00 1a 2b 3c 4d 5e"
                                           "76 04 0a 00 00 00")});
    ASSERT_TRUE(offer.reply);
    EXPECT_EQ(Options(offer),
              Bytes("35 01 02" + SERVER_OPTIONS +
                    "0c 03 67 77 31"
                    "3d 07 01 00 1a 2b 3c 4d 5e 76 04 0a 00 00 00 52 03 01 01 07 ff"));
    // A NAK carries only its type and the server identifier.
    const auto nak = Serve({.options = Bytes(REQUEST)});
    ASSERT_TRUE(nak.reply);
    EXPECT_EQ(Options(nak), Bytes("35 01 06 36 04 c0 a8 01 01 ff"));
    EXPECT_EQ(nak.ReplyBytes()[44], 0);  // sname left as the client sent it
    // Longer than the packet: only the first 1024 bytes are read (pad bytes here).
    auto huge = testsupport::DhcpPacket({.options = Bytes(SELECTING)});
    huge.resize(2000, 0);
    DhcpDiscoverCounter counter;
    const auto out = HandleDatagram(huge, {}, Context(), counter, true);
    EXPECT_EQ(out.reply ? out.reply->type : 0, DHCPACK);
    EXPECT_EQ(out.record.transferLength, 2000);
}

TEST(Dhcp, LeaseLimits)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "00 00 8c a0"},             // none asked: 36000
        {"00 00 02 58", "00 00 02 58"},  // 600
        {"00 00 8c 9f", "00 00 8c 9f"},  // 35999
        {"00 00 8c a0", "00 00 8c a0"},  // 36000
        {"00 00 8c a1", "00 00 8c a0"},  // 36001 -> 36000
        {"ff ff ff ff", "00 00 8c a0"},  // infinite asked -> 36000
    };
    for (const auto& [asked, granted] : cases) {
        const auto out =
            Serve({.options = Bytes(SELECTING + (asked.empty() ? "" : "33 04 " + asked))});
        ASSERT_TRUE(out.reply) << asked;
        EXPECT_EQ(Slice(Options(out), 9, 6), Bytes("33 04 " + granted)) << asked;
    }
}

TEST(Dhcp, WhichReplyGoesWhere)
{
    const DhcpEndpoint relay{0x0A010101, 67}, renewing{GATEWAY, 68}, all{BROADCAST, 68},
        none{0, 68};
    const std::uint32_t other = 0x0A090909, RELAY = relay.address;
    // A request with the broadcast flag (or not), ciaddr, giaddr and options.
    const auto req = [](bool flag, std::uint32_t ciaddr, std::uint32_t giaddr, std::string opt) {
        Request r{.ciaddr = ciaddr, .giaddr = giaddr, .options = Bytes(opt)};
        r.flags = flag ? 0x8000 : 0;
        return r;
    };
    struct Case {
        Request request;
        DhcpEndpoint source;
        std::uint8_t type;
        DhcpEndpoint destination;
        bool broadcastFlag;  // in the reply
    };
    const std::vector<Case> cases = {
        {req(1, 0, 0, SELECTING), none, DHCPACK, all, true},
        {req(1, 0, 0, REQUEST + OUR_ID), none, DHCPACK, all, true},  // asks for nothing
        {req(0, 0, 0, DISCOVER), none, DHCPOFFER, all, false},       // no source address yet
        {req(0, GATEWAY, 0, REQUEST), renewing, DHCPACK, renewing, false},
        {req(1, GATEWAY, 0, REQUEST), renewing, DHCPACK, all, true},
        {req(0, 0, RELAY, DISCOVER), relay, DHCPOFFER, relay, false},
        {req(1, 0, RELAY, SELECTING), none, DHCPACK, relay, true},
        // Another address, or nothing without naming a server: NAK, broadcast.
        {req(1, 0, 0, REQUEST + OUR_ID + "32 04 c0 a8 01 63"), none, DHCPNAK, all, true},
        {req(0, other, 0, REQUEST), {other, 68}, DHCPNAK, all, false},
        {req(1, 0, 0, REQUEST), none, DHCPNAK, all, true},
        // A NAK through a relay asks the relay to broadcast it.
        {req(0, 0, RELAY, REQUEST), none, DHCPNAK, relay, true},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        const auto out = Serve(c.request, c.source);
        ASSERT_TRUE(out.reply);
        EXPECT_EQ(out.reply->type, c.type);
        EXPECT_EQ(out.reply->yourAddress, c.type == DHCPNAK ? 0 : GATEWAY);
        EXPECT_EQ(out.reply->destination, c.destination);
        EXPECT_EQ((out.ReplyBytes()[10] & 0x80) != 0, c.broadcastFlag);
        EXPECT_EQ(out.reply->dontRoute, c.destination != relay);
    }
}

TEST(Dhcp, DatagramsThatGetNoAnswer)
{
    using testsupport::DhcpPacket;
    using enum DhcpIgnored;
    auto truncated = DhcpPacket({.options = Bytes(REQUEST + OUR_ID)});
    truncated.resize(truncated.size() - 3);  // option 54 cut short, no end byte
    auto tooShort = DhcpPacket({.options = Bytes(REQUEST)});
    tooShort.resize(235);
    const auto discover = DhcpPacket({.options = Bytes(DISCOVER)});
    struct Case {
        std::vector<std::uint8_t> datagram;
        DhcpIgnored reason;
        DhcpServerContext context = Context();
        bool offerMode = true;
    };
    const std::vector<Case> cases = {
        {DhcpPacket({}), PlainBootp},
        {DhcpPacket({.op = 2, .options = {53, 1, 5}}), NotARequest},  // another server's reply
        {DhcpPacket({.options = Bytes(REQUEST + "36 04 c0 a8 01 02" + ASK_GATEWAY)}), OtherServer},
        {DhcpPacket({.mac = {1, 2, 3, 4, 5, 6}, .options = Bytes(REQUEST + OUR_ID)}), Unassigned},
        {DhcpPacket({.options = {53, 1, 4}}), NotAnswered},  // DECLINE
        {DhcpPacket({.options = {53, 1, 7}}), NotAnswered},  // RELEASE
        {DhcpPacket({.options = {53, 1, 8}}), NotAnswered},  // INFORM
        {truncated, MalformedOptions},
        {tooShort, TooShort},
        {{}, TooShort},
        {discover, ListedOnly, Context("gw1", false)},  // offer not armed
        {discover, ListedOnly, Context(), false},       // not in offer mode
        {DhcpPacket({.mac = {0, 0x1A, 0x2B, 0x3C, 0x4D, 9}, .options = {53, 1, 1}}), ListedOnly},
        // A request naming this computer's own host name ("LAPTOP") is never given an address.
        {DhcpPacket({.options = Bytes(DISCOVER + "0c 06 4c 41 50 54 4f 50")}), OwnHostName},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        DhcpDiscoverCounter counter;
        const auto out =
            HandleDatagram(cases[i].datagram, {}, cases[i].context, counter, cases[i].offerMode);
        EXPECT_FALSE(out.reply) << i;
        EXPECT_EQ(out.ignored, cases[i].reason) << i;
    }
}

TEST(Dhcp, ClientMaximumMessageSizeLimitsTheReply)
{
    // 240 + 53(3) + 54(6) + 51(6) + 1(6) + 12 "gw1"(5) = 266; the client
    // identifier then takes 2 + n bytes and the end byte 1. No reply at all
    // rather than one larger than the client takes.
    // Client identifier length, option 57, end of the options (end byte
    // included; 0: no reply), identifier sent. Every reply is padded with
    // zeros to the 300 bytes of a BOOTP message.
    const std::vector<std::tuple<std::uint8_t, std::string, std::size_t, bool>> cases = {
        {31, "01 2c", 300, true},   // 266 + 33 + 1 = 300: fits exactly
        {32, "01 2c", 267, false},  // one byte over: left out
        {32, "01 2d", 301, true},
        {0, "00 f4", 244, false},  // room for option 53 and the end byte only
        {0, "00 f3", 0, false},    // not even that
    };
    for (const auto& [idLength, maxSize, end, idSent] : cases) {
        auto options = Bytes(SELECTING + "39 02 " + maxSize);
        if (idLength > 0) {
            options.insert(options.end(), {0x3D, idLength});
            options.resize(options.size() + idLength, 0xAB);
        }
        const auto out = Serve({.options = options});
        SCOPED_TRACE(end);
        EXPECT_EQ(out.ignored, end == 0 ? DhcpIgnored::ReplyTooLarge : DhcpIgnored::None);
        EXPECT_EQ(out.record.addedOptions.test(61), idSent);
        if (end == 0) continue;
        ASSERT_TRUE(out.reply);
        const auto bytes = out.ReplyBytes();
        ASSERT_EQ(bytes.size(), std::max<std::size_t>(end, 300));
        EXPECT_EQ(bytes[end - 1], 0xFF);
        EXPECT_TRUE(std::all_of(bytes.begin() + static_cast<long>(end), bytes.end(),
                                [](std::uint8_t b) { return b == 0; }));
    }
}

TEST(Dhcp, NamesAndMacText)
{
    // No host name and no device name: a generated name is kept in the record, not sent.
    const auto generated = Serve({.options = Bytes(SELECTING)}, {}, Context(""));
    EXPECT_EQ(generated.record.hostName, "Host001a2b3c4d5e");
    EXPECT_FALSE(generated.record.addedOptions.test(12));
    // The client's name is cut at the first '.' and at 63 characters.
    EXPECT_EQ(Serve({.options = Bytes(REQUEST + "0c 07 64 65 76 2e 6c 61 6e")}, {}, Context(""))
                  .record.hostName,
              "dev");
    auto longName = Bytes(DISCOVER + "0c 50");
    longName.resize(longName.size() + 80, 'x');
    EXPECT_EQ(Serve({.options = longName}, {}, Context(""), false).record.hostName,
              std::string(63, 'x'));
    // The device name goes out in the code page (GB2312), cut at the first '.'
    // and at 64 bytes without splitting a character.
    std::string chinese = "g";
    for (int i = 0; i < 33; ++i) chinese += "网";
    const std::vector<std::pair<std::string, std::string>> names = {
        {"网关1.local", "0c 05 cd f8 b9 d8 31 ff"},
        {std::string(70, 'g'), "0c 40 67"},
        {chinese, "0c 3f 67 cd f8"},
    };
    for (const auto& [name, sent] : names) {
        const auto option = Bytes(sent);
        EXPECT_EQ(Slice(Options(Serve({.options = Bytes(SELECTING)}, {}, Context(name))), 21,
                        option.size()),
                  option)
            << name;
    }
    // The MAC text is lower case; hlen above 16 is read as 16.
    EXPECT_EQ(Serve({.options = Bytes(DISCOVER)}).record.macText, "00:1a:2b:3c:4d:5e");
    const Request wide{.mac = std::vector<std::uint8_t>(20, 0xAA), .options = Bytes(DISCOVER)};
    EXPECT_EQ(Serve(wide).record.macText.size(), 16u * 3 - 1);
}

TEST(Dhcp, FloodsAreBounded)
{
    // 50,000 DISCOVERs from different MACs: the per-MAC counts keep the last
    // 4096 MACs, the request table the last 1,000 rows; recent MACs keep
    // their every-other listing, forgotten ones start again.
    DhcpDiscoverCounter counter;
    DhcpRequestTable table;
    char mac[18];
    for (unsigned i = 0; i < 50000; ++i) {
        std::snprintf(mac, sizeof mac, "02:00:00:%02x:%02x:%02x", i >> 16, (i >> 8) & 0xFF,
                      i & 0xFF);
        data9 record;
        record.macText = mac;
        if (counter.Count(mac)) table.Add(record);
    }
    EXPECT_EQ(counter.Size(), DhcpDiscoverCounter::MAX_MACS);
    EXPECT_FALSE(counter.Count(mac));                 // the last MAC: its second DISCOVER
    EXPECT_TRUE(counter.Count("02:00:00:00:00:00"));  // the first one was forgotten
    ASSERT_EQ(table.Size(), DhcpRequestTable::ROWS);
    EXPECT_EQ(table.Dropped(), 49000u);
    EXPECT_EQ(table.Row(0).macText, "02:00:00:00:bf:68");  // index 49,000
    EXPECT_EQ(table.Row(DhcpRequestTable::ROWS - 1).macText, mac);
}
