#pragma once
// The download of a configuration image: check it as the gateway would,
// connect, send the image in pieces of PIECE_SIZE bytes, each answered 40 0B
// by the gateway and followed by a pause, report the result and offer the
// restart that makes the new configuration take effect.
#include <cstdint>
#include <optional>

#include "core/link/DeviceFrames.h"
#include "core/link/LinkSession.h"
#include "core/util/Result.h"

namespace varnel {

class DownloadSession final : public LinkSession {
public:
    static constexpr std::size_t PIECE_SIZE = PIECE_BYTES;

    // `image` is what the compiler built or the hex file held. Every download
    // passes one gate on its Start: an image the decoder refuses (CheckImage)
    // is shown with the decoder's sentence and nothing is connected or sent.
    explicit DownloadSession(Bytes image);

    LinkActions Handle(const LinkEvent& event) override;
    bool Finished() const override { return finished; }
    bool Succeeded() const override { return succeeded; }

    // True when the restart request went out after the download.
    bool RestartRequested() const { return restartRequested; }
    std::int32_t ProgressMax() const { return progressMax; }
    std::int32_t PieceIndex() const { return pieceIndex; }
    bool LastPieceSent() const { return lastPiece == 1; }
    // Why the gate refused the image (Start finished the session at once).
    const std::optional<Refusal>& Refused() const { return refused; }

private:
    enum class State { Idle, Connecting, WaitingAnswer, Pausing, AskingRestart, Restarting, Done };

    LinkActions OnIdle(const LinkEvent& event);
    LinkActions OnConnecting(const LinkEvent& event);
    LinkActions OnWaitingAnswer(const LinkEvent& event);
    LinkActions OnPausing(const LinkEvent& event);
    LinkActions OnAskingRestart(const LinkEvent& event);

    // Appends the next piece's request and the progress step.
    void SendPiece(LinkActions& out);
    // Stops both timers, drops the queue, closes and shows `message`.
    LinkActions Fail(const Message& message);
    LinkActions End(LinkActions out, bool ok);

    Bytes image;
    State state = State::Idle;
    std::int32_t progressMax = 0;
    std::int32_t progressPos = 0;
    std::int32_t pieceIndex = 0;
    std::int32_t lastPiece = 0;
    Bytes answer;
    bool succeeded = false;
    bool finished = false;
    bool restartRequested = false;
    std::optional<Refusal> refused;
};

}  // namespace varnel
