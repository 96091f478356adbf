#include "core/view/UserParamsText.h"

#include <cstdio>

namespace varnel {

namespace {
int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

std::string FormatUserParams(const Bytes& bytes)
{
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char group[4];
        std::snprintf(group, sizeof group, "%02x", bytes[i]);
        if (i != 0) text += ',';
        text += group;
    }
    return text;
}

int UserParamsMaxLength(int byteCount)
{
    return byteCount > 0 ? 3 * byteCount - 1 : 0;
}

Status CheckUserParamsText(std::string_view text)
{
    for (std::size_t p = 0; p < text.size(); ++p) {
        const bool commaPlace = (p + 1) % 3 == 0;
        const bool ok = commaPlace ? text[p] == ',' : HexValue(text[p]) >= 0;
        if (!ok) return Refuse(Code::BadValue, USER_PARAMS_FORMAT_ERROR);
    }
    return {};
}

Bytes ParseUserParams(std::string_view text, int byteCount)
{
    Bytes bytes;
    for (int k = 0; k < byteCount; ++k) {
        const std::size_t p = static_cast<std::size_t>(3 * k);
        int value = 0;
        // Digits as far as the text reaches; the conversion stops at a non-digit.
        for (std::size_t q = p; q < p + 2 && q < text.size(); ++q) {
            const int digit = HexValue(text[q]);
            if (digit < 0) break;
            value = value * 16 + digit;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

}  // namespace varnel
