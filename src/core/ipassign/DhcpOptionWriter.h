#pragma once
// Writing the options of a BOOTP/DHCP reply over the record's packet, in
// their order, each within the client's maximum message size.
#include <cstdint>
#include <span>
#include <string>

#include "core/ipassign/DhcpServerContext.h"
#include "core/ipassign/data9.h"

namespace varnel {

// Appends one reply option at the write position if it was not added before
// and the reply, with its code and length bytes and the end byte, stays
// within the client's maximum message size (and the 1024-byte packet).
// Returns true when the option was added.
bool AddReplyOption(data9& record, std::uint8_t code, std::span<const std::uint8_t> data);

// Puts the reply options in their order (53, 54, 51, 1, 12, 61, 118, 82) and
// the end byte; `deviceName` is the assignment's name (UTF-8). Returns false
// when not even option 53 fits.
bool BuildReplyOptions(data9& record, const DhcpServerContext& context,
                       const std::string& deviceName);

// The lease granted for a lease asked for (0 = none asked).
std::uint32_t GrantedLease(std::uint32_t asked);

// The bytes of option 12 for a device name: in the code page (GB2312), cut
// at the first '.' and to 64 bytes without splitting a character.
std::string SentDeviceName(const std::string& deviceName);

}  // namespace varnel
