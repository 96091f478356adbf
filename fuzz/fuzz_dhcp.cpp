// HandleDatagram on any bytes: nothing read past the datagram, and every
// reply's options end with the end option within 1024 bytes and the
// client's size, padded with zeros to 300 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/ipassign/HandleDatagram.h"

using namespace varnel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static DhcpDiscoverCounter counter;
    DhcpServerContext context;
    context.hostName = "laptop";
    context.serverAddress = 0xC0A80101;
    context.subnetMask = 0xFFFFFF00;
    // The MAC of the seeds, so the reply paths are reached.
    context.assignments.push_back({"00:1a:2b:3c:4d:5e", 0xC0A80114, "gw1.local", true});
    context.assignments.push_back({"02:00:00:00:00:01", 0x0A000005, std::string(300, 'n'), true});
    const bool offerMode = size % 2 == 0;
    const auto outcome =
        HandleDatagram(std::span(data, size), {0x0A000005, 68}, context, counter, offerMode);
    if (outcome.reply) {
        // Options and end byte within the client's size; zeros up to 300 bytes.
        const auto& bytes = outcome.reply->bytes;
        const std::size_t end = outcome.record.writePosition + 1;
        if (bytes.size() > 1024 || end < 241 || bytes.size() != std::max<std::size_t>(end, 300) ||
            bytes[end - 1] != 0xFF || end > outcome.record.maxMessageSize)
            std::abort();
    }
    return 0;
}
