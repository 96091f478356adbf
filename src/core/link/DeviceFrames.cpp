#include "core/link/DeviceFrames.h"

namespace varnel {

Bytes PieceRequest(const Bytes& image, std::size_t offset, std::size_t count)
{
    Bytes req;
    req.reserve(2 + count);
    req.push_back(REQUEST_MARK);  // [0] request mark
    req.push_back(CODE_PIECE);    // [1] configuration piece
    if (offset < image.size()) {
        const std::size_t n = std::min(count, image.size() - offset);
        req.insert(req.end(), image.begin() + static_cast<std::ptrdiff_t>(offset),
                   image.begin() + static_cast<std::ptrdiff_t>(offset + n));  // [2..] image bytes
    }
    return req;
}

Bytes RestartRequest()
{
    return Bytes{REQUEST_MARK, CODE_RESTART, 0x00, 0x00};
}

Bytes ClearRequest()
{
    return Bytes{REQUEST_MARK, CODE_CLEAR, 0x00, 0x00};
}

bool AnswerIs(const Bytes& answer, std::uint8_t status, std::uint8_t code)
{
    return answer.size() >= 2 && answer[0] == status && answer[1] == code;
}

bool RequestComplete(const Bytes& buffer)
{
    if (buffer.empty()) return false;
    if (buffer[0] != REQUEST_MARK) return true;
    if (buffer.size() < 2) return false;
    if (buffer[1] == CODE_PIECE) return buffer.size() >= 2 + PIECE_BYTES;
    return buffer.size() >= 4;
}

std::optional<DeviceRequest> ParseRequest(const std::uint8_t* bytes, std::size_t size)
{
    if (bytes == nullptr || size < 2 || bytes[0] != REQUEST_MARK) return std::nullopt;
    DeviceRequest req;
    req.code = bytes[1];
    req.data.assign(bytes + 2, bytes + size);
    return req;
}

Bytes MakeAnswer(std::uint8_t status, std::uint8_t code)
{
    return Bytes{status, code};
}

}  // namespace varnel
