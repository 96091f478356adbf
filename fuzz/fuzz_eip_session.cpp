// The DHCP switch over EtherNet/IP, end to end on one connection: the session
// talks to the gateway's responder, and the fuzzer's program interleaves the
// responder's true answers, cut at chosen points, with arbitrary bytes. The
// adapter's framing (EipFrameAssembler) turns the stream into whole frames,
// as the TCP adapter does. The session keeps the link promises of
// SessionDriver.h; a success means the responder really holds the value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "SessionDriver.h"
#include "core/ipassign/CEipSession.h"
#include "core/ipassign/EipFrames.h"
#include "gateway/CEipResponder.h"

using namespace varnel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Program program(data, size);
    const std::uint8_t pick = program.Byte();
    EipGatewayState gateway;
    gateway.configurationSettable = (pick & 0x02) == 0;
    gateway.configurationControl = (pick & 0x04) != 0 ? CONFIG_DHCP : CONFIG_STATIC;
    CEipResponder responder(gateway);
    // Every reply of the responder is a sequence of whole frames.
    auto peer = [&responder](const Bytes& request) {
        Bytes reply = responder.OnBytes(request);
        EipFrameAssembler frames;
        frames.Append(reply);
        while (frames.Next()) {
        }
        FUZZ_CHECK(frames.Buffered() == 0);
        return reply;
    };
    EipFrameAssembler stream;
    auto frames = [&stream](const Bytes& received) {
        stream.Append(received);
        std::vector<Bytes> out;
        while (auto frame = stream.Next()) out.push_back(*frame);
        return out;
    };
    const bool enable = (pick & 0x01) != 0;
    CEipSession session(enable);
    fuzz::SessionDriver(session, peer, frames).Run(program);
    if (session.Succeeded())
        FUZZ_CHECK((session.ValueAfter() & 0x0F) == (enable ? CONFIG_DHCP : CONFIG_STATIC));
    return 0;
}
