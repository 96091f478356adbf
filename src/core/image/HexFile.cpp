#include "core/image/HexFile.h"

#include "core/model/AtomicFile.h"

namespace varnel {

std::string FormatHexText(const Bytes& image)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(image.size() * 3);
    for (std::uint8_t b : image) {
        text += digits[b >> 4];
        text += digits[b & 0xF];
        text += ' ';
    }
    return text;
}

namespace {
int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
}  // namespace

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
        if (i + 1 >= text.size())
            break;
        const int hi = DigitValue(text[i]);
        const int lo = DigitValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            break;
        image.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        i += 2;
    }
    return image;
}

LegacyRefusal WriteHexFile(const std::string& path, const Bytes& image)
{
    const Status written = WriteFileAtomically(path, FormatHexText(image));
    if (!written)
        return written.message();
    return std::nullopt;
}

bool ReadHexFile(const std::string& path, Bytes& image)
{
    Result<std::string> read = ReadWholeFile(path);
    if (!read)
        return false;
    std::string& content = *read;
    const auto end = content.find('\xFF');
    if (end != std::string::npos)
        content.resize(end);
    image = ParseHexText(content);
    return true;
}

}  // namespace varnel
