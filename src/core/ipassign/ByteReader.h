#pragma once
// A bounds-checked reader over received bytes. Every read of a datagram or a
// frame goes through it: a read beyond the bytes that arrived fails (returns
// false and leaves the reader failed) instead of touching memory past the end.
#include <cstddef>
#include <cstdint>
#include <span>

namespace varnel {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : data(bytes) {}

    // Bytes not read yet.
    std::size_t Remaining() const { return failed ? 0 : data.size() - pos; }
    std::size_t Position() const { return pos; }
    // True once any read asked for more than remained.
    bool Failed() const { return failed; }

    bool U8(std::uint8_t& out)
    {
        if (!Need(1)) return false;
        out = data[pos++];
        return true;
    }
    // Network order (BOOTP/DHCP fields).
    bool U16be(std::uint16_t& out)
    {
        if (!Need(2)) return false;
        out = static_cast<std::uint16_t>(data[pos] << 8 | data[pos + 1]);
        pos += 2;
        return true;
    }
    bool U32be(std::uint32_t& out)
    {
        if (!Need(4)) return false;
        out = static_cast<std::uint32_t>(data[pos]) << 24 |
              static_cast<std::uint32_t>(data[pos + 1]) << 16 |
              static_cast<std::uint32_t>(data[pos + 2]) << 8 | data[pos + 3];
        pos += 4;
        return true;
    }
    // Little-endian (EtherNet/IP encapsulation and CIP fields).
    bool U16le(std::uint16_t& out)
    {
        if (!Need(2)) return false;
        out = static_cast<std::uint16_t>(data[pos] | data[pos + 1] << 8);
        pos += 2;
        return true;
    }
    bool U32le(std::uint32_t& out)
    {
        if (!Need(4)) return false;
        out = static_cast<std::uint32_t>(data[pos]) |
              static_cast<std::uint32_t>(data[pos + 1]) << 8 |
              static_cast<std::uint32_t>(data[pos + 2]) << 16 |
              static_cast<std::uint32_t>(data[pos + 3]) << 24;
        pos += 4;
        return true;
    }
    // The next `count` bytes as a view into the input.
    bool Take(std::size_t count, std::span<const std::uint8_t>& out)
    {
        if (!Need(count)) return false;
        out = data.subspan(pos, count);
        pos += count;
        return true;
    }
    bool Skip(std::size_t count)
    {
        if (!Need(count)) return false;
        pos += count;
        return true;
    }

private:
    bool Need(std::size_t count)
    {
        if (failed || data.size() - pos < count) {
            failed = true;
            return false;
        }
        return true;
    }

    std::span<const std::uint8_t> data;
    std::size_t pos = 0;
    bool failed = false;
};

}  // namespace varnel
