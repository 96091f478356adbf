#include "core/link/DeviceLink.h"

namespace varnel {

DeviceLink::DeviceLink(std::int32_t& pendingFlagOfDocument)
    : linkRequestPending(pendingFlagOfDocument)
{
}

void DeviceLink::Queue(const std::uint8_t* bytes, std::size_t size)
{
    pendingData.assign(bytes, bytes + size);
    pendingSize = static_cast<std::int32_t>(size);
    pendingLeft = pendingSize;
    pendingFlag = 1;
}

bool DeviceLink::SendRequest(const Bytes& request, const Writer& write)
{
    linkRequestPending = 1;
    const WriteResult result = write(request.data(), request.size());
    switch (result.status) {
        case WriteResult::Status::WouldBlock: Queue(request.data(), request.size()); return true;
        case WriteResult::Status::Failed: return false;
        case WriteResult::Status::Written:
            if (result.written < request.size())
                Queue(request.data() + result.written, request.size() - result.written);
            return true;
    }
    return false;
}

DeviceLink::DrainResult DeviceLink::OnWritable(const Writer& write)
{
    if (pendingFlag != 1 || pendingData.empty() || pendingLeft <= 0) return DrainResult::Idle;
    const std::size_t from = static_cast<std::size_t>(pendingSize - pendingLeft);
    const WriteResult result =
        write(pendingData.data() + from, static_cast<std::size_t>(pendingLeft));
    switch (result.status) {
        case WriteResult::Status::WouldBlock: return DrainResult::StillQueued;
        case WriteResult::Status::Failed: ClearQueue(); return DrainResult::Failed;
        case WriteResult::Status::Written:
            pendingLeft -= static_cast<std::int32_t>(
                std::min(result.written, static_cast<std::size_t>(pendingLeft)));
            if (pendingLeft > 0) return DrainResult::StillQueued;
            ClearQueue();
            return DrainResult::Sent;
    }
    return DrainResult::Failed;
}

std::optional<Bytes> DeviceLink::OnRead(const std::uint8_t* bytes, std::size_t size)
{
    if (linkRequestPending != 1) return std::nullopt;
    linkRequestPending = 0;
    const std::size_t n = std::min(size, READ_LIMIT);
    return Bytes(bytes, bytes + n);
}

void DeviceLink::ClearQueue()
{
    pendingFlag = 0;
    pendingData.clear();
    pendingSize = 0;
    pendingLeft = 0;
}

void DeviceLink::Reset()
{
    ClearQueue();
}

}  // namespace varnel
