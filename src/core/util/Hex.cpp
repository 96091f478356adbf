#include "core/util/Hex.h"

namespace varnel {

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void AppendHexByte(std::string& text, std::uint8_t byte)
{
    static constexpr char digits[] = "0123456789abcdef";
    text += digits[byte >> 4];
    text += digits[byte & 0xF];
}

std::string FormatHex(const std::vector<std::uint8_t>& bytes, std::string_view separator)
{
    std::string text;
    text.reserve(bytes.size() * (2 + separator.size()));
    for (std::uint8_t b : bytes) {
        AppendHexByte(text, b);
        text += separator;
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> ParseHexStrict(std::string_view text)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) return std::nullopt;
        const int hi = HexDigitValue(c);
        const int lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        i += 2;
    }
    return bytes;
}

}  // namespace varnel
