// Any text as a hex file: the parse takes only digit pairs, so formatting
// what it gave and parsing again is the identity, and the bytes it gave are
// at most half the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/image/HexFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace varnel;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Bytes parsed = ParseHexText(text);
    if (parsed.size() > size / 2) std::abort();
    const std::string formatted = FormatHexText(parsed);
    if (formatted.size() != parsed.size() * 3 || ParseHexText(formatted) != parsed) std::abort();
    // The parse stops at the first pair with a non-digit: a prefix of the
    // text parses to a prefix of the bytes.
    const Bytes half = ParseHexText(text.substr(0, size / 2));
    if (half.size() > parsed.size() || !std::equal(half.begin(), half.end(), parsed.begin()))
        std::abort();
    return 0;
}
