#pragma once
// DHCP client requests for the server tests: a BOOTP header from the fields
// the cases vary, the magic cookie, the options and the end byte.
#include <cstdint>
#include <vector>

namespace testsupport {

// 00:1a:2b:3c:4d:5e (a copy of a vector, not of an initializer list: GCC 12
// at -O3 warns falsely about the latter).
inline const std::vector<std::uint8_t> GATEWAY_MAC = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

struct DhcpRequest {
    std::uint8_t op = 1;
    std::vector<std::uint8_t> mac = GATEWAY_MAC;
    std::uint16_t flags = 0x8000;
    std::uint32_t ciaddr = 0;
    std::uint32_t giaddr = 0;
    std::vector<std::uint8_t> options;  // after the magic cookie, without the end byte
};

inline std::vector<std::uint8_t> DhcpPacket(const DhcpRequest& r)
{
    // op, htype Ethernet, hlen; xid 12345678; flags; ciaddr; giaddr; chaddr; cookie.
    std::vector<std::uint8_t> p(240, 0);
    const auto put32 = [&p](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) p[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    p[0] = r.op, p[1] = 1, p[2] = static_cast<std::uint8_t>(r.mac.size());
    put32(4, 0x12345678), put32(12, r.ciaddr), put32(24, r.giaddr), put32(236, 0x63825363);
    p[10] = static_cast<std::uint8_t>(r.flags >> 8), p[11] = static_cast<std::uint8_t>(r.flags);
    for (std::size_t i = 0; i < r.mac.size() && i < 16; ++i) p[28 + i] = r.mac[i];
    for (auto b : r.options) p.push_back(b);  // no insert: GCC 12 at -O3 warns about it falsely
    p.push_back(0xFF);
    return p;
}

}  // namespace testsupport
