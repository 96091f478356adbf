// Fuzzes the JSON import, then exports and compiles whatever was accepted:
// a document that imports must export, re-import identically and compile.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "core/image/Compiler.h"
#include "core/image/HexFile.h"
#include "core/project/JsonDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace varnel;
    CVarnelDoc doc;
    if (!ImportJson(std::string_view(reinterpret_cast<const char*>(data), size), doc)) return 0;
    const std::string exported = ExportJson(doc);
    CVarnelDoc again;
    if (!ImportJson(exported, again) || ExportJson(again) != exported) std::abort();
    const Result<Bytes> image = RefuseBadDocument([&] { return CompileImage(doc); });
    if (image && ParseHexText(FormatHexText(*image)) != *image) std::abort();
    return 0;
}
