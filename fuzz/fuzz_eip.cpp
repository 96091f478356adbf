// The EtherNet/IP frames on any bytes: the gateway's responder takes them as
// requests, and the switch session takes them as the reply in each of its
// states. Nothing may be read past what arrived.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/ipassign/CEipResponder.h"
#include "core/ipassign/CEipSession.h"

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
    if (replies.Buffered() != 0)
        std::abort();

    // The session in each state, fed the bytes split at an arbitrary point.
    for (int state = CEipSession::REGISTERING; state <= CEipSession::READING_BACK; ++state) {
        CEipSession session;
        session.Start(true);
        session.OnConnected();
        EipGatewayState good;
        CEipResponder peer(good);
        auto request = BuildRegisterSession();
        for (int s = CEipSession::REGISTERING; s < state; ++s) {
            auto actions = session.OnBytes(peer.OnBytes(request));
            for (const auto& a : actions)
                if (a.kind == EipAction::Send)
                    request = a.bytes;
        }
        const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
        session.OnBytes(bytes.first(cut));
        session.OnBytes(bytes.subspan(cut));
        session.OnTimer(CEipSession::ANSWER_TIMER);
    }
    return 0;
}
