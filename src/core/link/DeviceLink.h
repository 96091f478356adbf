#pragma once
// The rules every device link follows, whoever owns it: a request sets the
// shared linkRequestPending flag; the one read that follows is the whole
// answer and clears it; anything read while no request is pending is
// dropped; a send that would block waits, whole and once, in the send queue
// until the socket is writable. No I/O of its own: the adapter hands in a
// Writer that tries to write to the socket.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/model/CModule.h"

namespace varnel {

class DeviceLink {
public:
    // One read takes at most this many bytes (the receive buffer is one more).
    static constexpr std::size_t READ_LIMIT = 8335;

    // What one write attempt did.
    struct WriteResult {
        enum class Status { Written, WouldBlock, Failed } status = Status::Written;
        std::size_t written = 0;  // bytes taken when Written (may be fewer than offered)
    };
    using Writer = std::function<WriteResult(const std::uint8_t* bytes, std::size_t size)>;

    enum class DrainResult { Idle, Sent, StillQueued, Failed };

    // `linkRequestPending` is the flag of the links' owner, shared by all its links.
    explicit DeviceLink(std::int32_t& linkRequestPending);

    // Sends one request in one write; queues what the write did not take.
    // False when the write failed outright (the caller closes and reports).
    bool SendRequest(const Bytes& request, const Writer& write);
    // The socket became writable: sends the rest of the queue.
    DrainResult OnWritable(const Writer& write);
    // The bytes of one read (at most READ_LIMIT are looked at): the answer
    // when a request was pending, else nothing (dropped).
    std::optional<Bytes> OnRead(const std::uint8_t* bytes, std::size_t size);
    // Drops the queue (pendingFlag = 0).
    void ClearQueue();
    // A new connection starts with an empty queue.
    void Reset();

    bool Queued() const { return pendingFlag == 1; }
    std::int32_t PendingLeft() const { return pendingLeft; }

private:
    void Queue(const std::uint8_t* bytes, std::size_t size);

    std::int32_t& linkRequestPending;
    Bytes pendingData;
    std::int32_t pendingSize = 0;
    std::int32_t pendingLeft = 0;
    std::uint8_t pendingFlag = 0;
};

}  // namespace varnel
