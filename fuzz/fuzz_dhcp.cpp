// HandleDatagram on any bytes: nothing read past the datagram; every reply's
// options end with the end option within 1024 bytes and the client's size,
// padded with zeros to 300 bytes; a reply goes only to a MAC with an
// assignment, carries that assignment's address (never 0 in an ACK or
// OFFER), and an assignment not armed gets no OFFER. The same datagram
// again gets the same reply: only its listing may change. Nothing is kept
// from one input to the next, so replaying the corpus covers what the run did.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/ipassign/HandleDatagram.h"

using namespace varnel;

namespace {

#define Check(condition) ((condition) ? void() : std::abort())

struct Client {
    std::uint8_t mac[6];
    std::uint32_t address;
    bool armed;
};

// The MACs of the seeds, so the reply paths are reached.
constexpr Client CLIENTS[] = {
    {{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, 0xC0A80114, true},
    {{0x02, 0x00, 0x00, 0x00, 0x00, 0x01}, 0x0A000005, true},
    {{0x02, 0x00, 0x00, 0x00, 0x00, 0x02}, 0x0A000006, false},
};

std::uint32_t Read32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    DhcpDiscoverCounter counter;
    DhcpServerContext context;
    context.hostName = "laptop";
    context.serverAddress = 0xC0A80101;
    context.subnetMask = 0xFFFFFF00;
    context.assignments.push_back({"00:1a:2b:3c:4d:5e", 0xC0A80114, "gw1.local", true});
    context.assignments.push_back({"02:00:00:00:00:01", 0x0A000005, std::string(300, 'n'), true});
    context.assignments.push_back({"02:00:00:00:00:02", 0x0A000006, "unarmed", false});
    const bool offerMode = size % 2 == 0;
    const auto outcome =
        HandleDatagram(std::span(data, size), {0x0A000005, 68}, context, counter, offerMode);
    const auto again =
        HandleDatagram(std::span(data, size), {0x0A000005, 68}, context, counter, offerMode);
    Check(again.reply.has_value() == outcome.reply.has_value());
    if (!outcome.reply) return 0;
    const DhcpReply& reply = *outcome.reply;
    const auto bytes = outcome.ReplyBytes();
    Check(std::ranges::equal(again.ReplyBytes(), bytes));
    // Options and end byte within the client's size; zeros up to 300 bytes.
    const std::size_t end = outcome.record.writePosition + 1;
    Check(bytes.size() <= 1024 && end >= 241 && bytes.size() == std::max<std::size_t>(end, 300) &&
          bytes[end - 1] == 0xFF && end <= outcome.record.maxMessageSize);
    Check(std::all_of(bytes.begin() + static_cast<long>(end), bytes.end(),
                      [](std::uint8_t b) { return b == 0; }));
    const Client* client = nullptr;
    for (const Client& c : CLIENTS)
        if (std::equal(c.mac, c.mac + 6, bytes.begin() + 28)) client = &c;
    Check(client != nullptr);
    Check(Read32(bytes, 16) == reply.yourAddress);
    if (reply.type == DHCPACK || reply.type == DHCPOFFER || reply.type == DHCP_NONE)
        Check(reply.yourAddress != 0 && reply.yourAddress == client->address);
    if (reply.type == DHCPOFFER) Check(client->armed);
    return 0;
}
