#include "core/util/Ipv4.h"

namespace varnel {

std::optional<std::uint32_t> ParseIpv4(std::string_view text)
{
    std::uint32_t address = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.') return std::nullopt;
            ++pos;
        }
        std::size_t digits = 0;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || value > 255 || (digits > 1 && text[pos - digits] == '0'))
            return std::nullopt;
        address = address << 8 | value;
    }
    if (pos != text.size()) return std::nullopt;
    return address;
}

std::string FormatIpv4(std::uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

}  // namespace varnel
