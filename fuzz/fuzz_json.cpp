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
    try {
        if (!PlaceSlaveStatusModules(doc) && !CheckImageLimits(doc)) {
            const Bytes image = BuildImage(doc);
            if (ParseHexText(FormatHexText(image)) != image) std::abort();
        }
    } catch (const std::invalid_argument&) {
        // Short serial parameters: the compile's own refusal.
    }
    return 0;
}
