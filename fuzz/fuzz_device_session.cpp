// The device-protocol sessions (download, clear, restart) fed arbitrary
// answers in arbitrary splits, interleaved with the gateway stand-in's true
// answers: the first byte picks the session, the rest is the event program
// (see SessionDriver.h for the promises checked after every event).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "SessionDriver.h"
#include "core/image/Compiler.h"
#include "core/link/DeviceCommandSession.h"
#include "core/link/DownloadSession.h"
#include "core/model/CVarnelDoc.h"
#include "gateway/GatewayDevice.h"

using namespace varnel;

namespace {

// The image of a new document: small, and one the download gate accepts.
const Bytes& NewDocumentImage()
{
    static const Bytes image = [] {
        CVarnelDoc doc;
        doc.OnNewDocument();
        const Result<Bytes> built = CompileImage(doc);
        if (!built || !CheckImage(*built)) std::abort();
        return *built;
    }();
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Program program(data, size);
    const std::uint8_t pick = program.Byte();
    GatewayDevice gateway;
    gateway.OnConnection();
    gateway.SetFailAnswers((pick & 0x80) != 0);
    auto peer = [&gateway](const Bytes& request) {
        return gateway.OnRequest(request.data(), request.size()).answer;
    };
    auto eachRead = [](const Bytes& received) { return std::vector<Bytes>{received}; };
    switch (pick % 5) {
        case 0: {
            DownloadSession session(NewDocumentImage());
            fuzz::SessionDriver(session, peer, eachRead).Run(program);
            break;
        }
        case 1: {
            // An image the gate refuses: finished at Start, nothing sent.
            Bytes broken = NewDocumentImage();
            broken.back() ^= 0x01;
            DownloadSession session(broken);
            fuzz::SessionDriver(session, peer, eachRead).Run(program);
            FUZZ_CHECK(session.Finished() && !session.Succeeded() && session.Refused());
            break;
        }
        default: {
            const bool ask = pick % 5 >= 3;
            DeviceCommandSession session(
                pick % 2 == 0 ? DeviceCommandSession::CLEAR : DeviceCommandSession::RESTART, ask);
            fuzz::SessionDriver(session, peer, eachRead).Run(program);
            break;
        }
    }
    return 0;
}
