// The EtherNet/IP frames on any bytes: the gateway's responder takes them as
// requests, whole or cut in two anywhere (the same replies either way), and
// the switch session takes them as the answer in each of its states. Nothing
// may be read past what arrived.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/ipassign/CEipSession.h"
#include "gateway/CEipResponder.h"

using namespace varnel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto bytes = std::span(data, size);

    EipGatewayState gateway;
    CEipResponder responder(gateway);
    // Register first so SendRRData requests reach the CIP layer; the fuzzed
    // bytes then use the session handle 01 00 01 00 that a fresh gateway gives.
    responder.OnBytes(BuildRegisterSession());
    // Whatever it answers is a sequence of whole frames.
    EipFrameAssembler replies;
    replies.Append(responder.OnBytes(bytes));
    while (replies.Next()) {
    }
    if (replies.Buffered() != 0) std::abort();

    // The stream cut in two: the responder buffers the partial frame.
    if (size > 0) {
        const std::size_t cut = data[0] % (size + 1);
        EipGatewayState whole;
        CEipResponder once(whole);
        Bytes expected = once.OnBytes(BuildRegisterSession());
        const Bytes rest = once.OnBytes(bytes);
        expected.insert(expected.end(), rest.begin(), rest.end());
        EipGatewayState split;
        CEipResponder twice(split);
        Bytes got = twice.OnBytes(BuildRegisterSession());
        for (auto part : {bytes.first(cut), bytes.subspan(cut)}) {
            const Bytes answer = twice.OnBytes(part);
            got.insert(got.end(), answer.begin(), answer.end());
        }
        if (got != expected || split.configurationControl != whole.configurationControl)
            std::abort();
    }

    // The session after 0 to 3 good answers, then the bytes as the next answer.
    for (int good = 0; good <= 3; ++good) {
        CEipSession session(true);
        session.Handle(LinkEvent::Start());
        Bytes request = session.Handle(LinkEvent::Connected())[1].data;  // stop, send, arm
        EipGatewayState state;
        CEipResponder peer(state);
        for (int step = 0; step < good; ++step)
            request = session.Handle(LinkEvent::Answer(peer.OnBytes(request)))[1].data;
        session.Handle(LinkEvent::Answer(Bytes(bytes.begin(), bytes.end())));
        session.Handle(LinkEvent::Timer(ANSWER_TIMER));
        if (!session.Finished()) std::abort();
    }
    return 0;
}
