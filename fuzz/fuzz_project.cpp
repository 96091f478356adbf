// Fuzz target: read any bytes as a project file. Whatever reads to its end
// must store again and read back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/model/CVarnelDoc.h"
#include "core/project/ProjectFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    namespace ProjectFile = varnel::ProjectFile;
    varnel::CVarnelDoc doc;
    if (!ProjectFile::Load(std::string(reinterpret_cast<const char*>(data), size), doc)) return 0;
    if (doc.deviceSlotNum < 1 || doc.deviceSlotNum > 54) __builtin_trap();
    const std::string stored = ProjectFile::Store(doc);
    varnel::CVarnelDoc again;
    if (!ProjectFile::Load(stored, again) || ProjectFile::Store(again) != stored) __builtin_trap();
    return 0;
}
