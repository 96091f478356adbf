#pragma once
// IPv4 addresses as 32-bit numbers in host order (10.0.0.5 is 0x0A000005),
// with the dotted text the user types and sees.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// Strict dotted text: four decimal numbers 0-255 joined by '.', nothing else;
// a part with a leading zero ("010") is refused, since other readers take it
// as octal. The one parser of addresses the user types.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);
// "a.b.c.d".
std::string FormatIpv4(std::uint32_t address);

}  // namespace varnel
