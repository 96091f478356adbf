#include "core/image/HexFile.h"

#include "core/model/AtomicFile.h"
#include "core/util/Hex.h"

namespace varnel {

std::string FormatHexText(const Bytes& image)
{
    return FormatHex(image, " ");
}

Bytes ParseHexText(std::string_view text)
{
    Bytes image;
    image.reserve(text.size() / 2);
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) break;
        const int hi = HexDigitValue(text[i]);
        const int lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) break;
        image.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        i += 2;
    }
    return image;
}

Status WriteHexFile(const std::string& path, const Bytes& image)
{
    return WriteFileAtomically(path, FormatHexText(image));
}

namespace {
// What the download says of a hex file it cannot use.
Refusal EmptyFile()
{
    return Refuse(Code::HexFileEmpty, "你选择了下载空文件");
}
}  // namespace

Result<Bytes> ReadHexFile(const std::string& path)
{
    Result<std::string> read = ReadWholeFile(path);
    if (!read) return EmptyFile();
    std::string& content = *read;
    const auto end = content.find('\xFF');
    if (end != std::string::npos) content.resize(end);
    Bytes image = ParseHexText(content);
    if (image.empty()) return EmptyFile();
    return image;
}

}  // namespace varnel
