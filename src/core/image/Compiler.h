#pragma once
// The compiler: slave-status placement (step A) and the configuration image
// with its CRC (step B), and writing the image as the hex file.
#include <stdexcept>
#include <string>

#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

// Step A: for each enabled port, puts the status table its serial parameters
// ask for behind the last module (or replaces/removes one standing last).
// Refuses (StatusTableRefused) when a port has no free slot after its last
// module; a change already made to COM1 stays. A serial-parameter module with
// fewer than 3 bytes throws std::invalid_argument, the document's byte access
// error, before anything of that port changes.
Status PlaceSlaveStatusModules(CVarnelDoc& doc);

// Step B: the configuration image, ending with its CRC-16/MODBUS (high byte
// first). Any size is built; nothing is truncated.
Bytes BuildImage(const CVarnelDoc& doc);

// Refuses (ImageLimits) a configuration whose parameter bytes of one port do
// not fit the image's 16-bit length field (only hand-edited documents get there).
Status CheckImageLimits(const CVarnelDoc& doc);

// Step A, the size check and step B, without writing anything. Throws like
// step A.
Result<Bytes> CompileImage(CVarnelDoc& doc);

// CompileImage, then the hex file at `hexPath`; nothing is written when the
// compile refuses or throws.
Result<Bytes> Compile(CVarnelDoc& doc, const std::string& hexPath);

// "文档格式错误" (ProjectFormat): a broken project file, or a byte or slot of
// the document accessed outside its array.
inline Refusal BadDocumentRefusal()
{
    return Refuse(Code::ProjectFormat, "文档格式错误");
}

// For front ends: runs `step` (one of the above) and turns the document's
// byte access error into BadDocumentRefusal(), so the operation stops with a
// message and nothing more happens.
template <typename Step>
auto RefuseBadDocument(Step&& step) -> decltype(step())
{
    try {
        return step();
    } catch (const std::invalid_argument&) {
        return BadDocumentRefusal();
    }
}

inline constexpr const char* STATUS_SLOT_REFUSAL = "从站状态检测需要占用插槽";

}  // namespace varnel
