#pragma once
// Frames of the device protocol spoken with the gateway on TCP port 60000.
//
// Request (no length field; one request per TCP send):
//   +------+------+----------------+
//   | 0x40 | code | data (0..n)    |
//   +------+------+----------------+
// Answer (one read is one answer):
//   +--------+------+---------------+
//   | status | code | ignored (any) |
//   +--------+------+---------------+
//   status 0x40 = done, 0xC0 = failed; code = the request code answered.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/model/CModule.h"

namespace varnel {

constexpr std::uint16_t DEVICE_PORT = 60000;
constexpr std::uint8_t REQUEST_MARK = 0x40;
constexpr std::uint8_t STATUS_DONE = 0x40;
constexpr std::uint8_t STATUS_FAILED = 0xC0;
constexpr std::uint8_t CODE_PIECE = 0x0B;
constexpr std::uint8_t CODE_RESTART = 0x0C;
constexpr std::uint8_t CODE_CLEAR = 0x0D;
// The most image bytes one piece carries.
constexpr std::size_t PIECE_BYTES = 1200;

// 40 0B followed by `count` image bytes starting at `offset` (none for count 0).
Bytes PieceRequest(const Bytes& image, std::size_t offset, std::size_t count);
// 40 0C 00 00.
Bytes RestartRequest();
// 40 0D 00 00.
Bytes ClearRequest();

// True when the answer's first two bytes are `status` and `code`; shorter
// answers never match.
bool AnswerIs(const Bytes& answer, std::uint8_t status, std::uint8_t code);

// A request as the gateway sees it: its code and data.
struct DeviceRequest {
    std::uint8_t code = 0;
    Bytes data;
};
// True when `buffer`, the bytes a gateway has read so far, holds a whole
// request: a full piece (2 + 1200 bytes) or four bytes of another request.
// Bytes not beginning with 0x40 are whole as they stand (they are answered
// with failure). A shorter piece is whole when the line goes quiet.
bool RequestComplete(const Bytes& buffer);
// Parses one request; nothing when it is shorter than two bytes or does not
// begin with 0x40.
std::optional<DeviceRequest> ParseRequest(const std::uint8_t* bytes, std::size_t size);
// The two-byte answer status + code.
Bytes MakeAnswer(std::uint8_t status, std::uint8_t code);

}  // namespace varnel
