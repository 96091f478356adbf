#pragma once
// Conversions between the texts of the model (UTF-8) and the bytes of the
// tool's code page, GBK (the superset of GB2312 that Chinese Windows uses).
// The character tables come from glibc's iconv once per process; a character
// that cannot be converted becomes "?", and a multi-byte character is always
// converted whole.
#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

namespace TextCodec {

// UTF-8 to GBK. A malformed sequence, a code point above 0xFFFF and a
// character that GBK cannot hold each become one "?".
std::string Utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. A byte sequence that is not a GBK character becomes "?".
std::string GbkToUtf8(std::string_view gbk);

// UTF-16 little-endian to GBK (the wide form of the project file's text).
// An odd last byte is ignored; a code point that GBK cannot hold becomes "?".
std::string Utf16LeToGbk(std::string_view bytes);

// Appends the GBK bytes of one Unicode code point; false (nothing
// appended) when GBK has no such character or the code point is 0.
bool AppendGbk(std::uint32_t codePoint, std::string& out);

// Length of the GBK character starting at s[0] (1 or 2), given `left`
// bytes remain; 1 for a byte that does not start a complete character.
inline std::size_t GbkCharLength(const char* s, std::size_t left)
{
    const auto lead = static_cast<unsigned char>(s[0]);
    if (lead < 0x81 || lead == 0xFF || left < 2) return 1;
    const auto trail = static_cast<unsigned char>(s[1]);
    return trail >= 0x40 && trail != 0x7F && trail != 0xFF ? 2 : 1;
}

}  // namespace TextCodec

}  // namespace varnel
