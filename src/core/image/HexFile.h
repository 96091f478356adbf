#pragma once
// The hex file: the configuration image as one line of "%02x " text.
#include <string>
#include <string_view>

#include "core/model/CModule.h"
#include "core/model/Message.h"

namespace varnel {

// Each byte as two lower-case digits and a space.
std::string FormatHexText(const Bytes& image);

// Pairs of hex digits, spaces skipped; a lone last character is ignored and
// the first pair with a non-digit (a line end, say) ends the parse.
Bytes ParseHexText(std::string_view text);

// Writes the image to `path`, replacing the file atomically. A missing folder
// or an unwritable file is a message naming the file and the reason.
LegacyRefusal WriteHexFile(const std::string& path, const Bytes& image);

// Reads the file up to its end or a 0xFF character and parses it; false when
// the file cannot be opened.
bool ReadHexFile(const std::string& path, Bytes& image);

}  // namespace varnel
