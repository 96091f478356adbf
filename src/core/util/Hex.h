#pragma once
// Hex text of bytes: the one codec used by the hex file, the project files,
// the JSON form, the image decoder and the command line.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The value of one hex digit (either case), or -1.
int HexDigitValue(char c);

// Appends the byte as two lower-case digits (into the text's own storage).
void AppendHexByte(std::string& text, std::uint8_t byte);

// Each byte as two lower-case digits, followed by `separator` ("" for none).
std::string FormatHex(const std::vector<std::uint8_t>& bytes, std::string_view separator = "");

// Pairs of hex digits in either case, with spaces, tabs and line ends allowed
// between pairs; nothing when any other character stands there or a digit is
// left over.
std::optional<std::vector<std::uint8_t>> ParseHexStrict(std::string_view text);

}  // namespace varnel
