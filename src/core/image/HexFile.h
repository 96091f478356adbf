#pragma once
// The hex file: the configuration image as one line of "%02x " text.
#include <string>
#include <string_view>

#include "core/model/CModule.h"
#include "core/util/Result.h"

namespace varnel {

// Each byte as two lower-case digits and a space.
std::string FormatHexText(const Bytes& image);

// Pairs of hex digits, spaces skipped; a lone last character is ignored and
// the first pair with a non-digit (a line end, say) ends the parse.
Bytes ParseHexText(std::string_view text);

// Writes the image to `path`, replacing the file atomically. A missing folder
// or an unwritable file is a refusal naming the file and the reason.
Status WriteHexFile(const std::string& path, const Bytes& image);

// Reads the file up to its end or a 0xFF character and parses it. A file that
// cannot be read (missing, a folder) or holds no image bytes is refused with
// "你选择了下载空文件" (HexFileEmpty).
Result<Bytes> ReadHexFile(const std::string& path);

}  // namespace varnel
