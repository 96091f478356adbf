#include "gateway/GatewayDevice.h"

#include "core/link/DeviceFrames.h"
#include "core/util/Hex.h"

namespace varnel {

void GatewayDevice::OnConnection()
{
    newDownload = true;
}

GatewayDevice::Reply GatewayDevice::OnRequest(const std::uint8_t* bytes, std::size_t size)
{
    Reply reply;
    const auto request = ParseRequest(bytes, size);
    if (!request) {
        reply.answer = MakeAnswer(STATUS_FAILED, size >= 2 ? bytes[1] : 0);
        reply.event = "request not understood (" + std::to_string(size) + " bytes)";
        return reply;
    }
    const std::uint8_t status = failAnswers ? STATUS_FAILED : STATUS_DONE;
    reply.answer = MakeAnswer(status, request->code);
    switch (request->code) {
        case CODE_PIECE:
            if (!failAnswers) {
                if (newDownload) {
                    downloaded.clear();
                    pieces.clear();
                    newDownload = false;
                }
                downloaded.insert(downloaded.end(), request->data.begin(), request->data.end());
                pieces.push_back(request->data.size());
            }
            reply.event = "piece " + std::to_string(pieces.size()) + ": " +
                          std::to_string(request->data.size()) + " bytes, " +
                          std::to_string(downloaded.size()) + " in all";
            break;
        case CODE_RESTART:
            reply.restart = !failAnswers;
            reply.event = "restart requested";
            break;
        case CODE_CLEAR:
            if (!failAnswers) {
                // Nothing stored survives a clear, not even a download that
                // still waits for its restart.
                running.clear();
                downloaded.clear();
                pieces.clear();
                ++clears;
            }
            reply.event = failAnswers ? "clear refused" : "configuration cleared";
            break;
        default:
            reply.answer = MakeAnswer(STATUS_FAILED, request->code);
            reply.event = "unknown request code " + FormatHex({request->code});
            break;
    }
    if (failAnswers) reply.event += " (answered failure)";
    return reply;
}

std::string GatewayDevice::Restart()
{
    ++restarts;
    if (pieces.empty()) return "restarted, configuration unchanged";
    const DecodedImage decoded = DecodeImage(downloaded);
    if (!decoded.Valid()) return "restarted, downloaded image refused: " + decoded.problems.front();
    running = downloaded;
    return "restarted with the downloaded configuration (" + std::to_string(running.size()) +
           " bytes)";
}

}  // namespace varnel
