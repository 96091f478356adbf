#pragma once
// The compiler: slave-status placement (step A) and the configuration image
// with its CRC (step B), and writing the image as the hex file.
#include <string>

#include "core/model/CVarnelDoc.h"
#include "core/model/Message.h"

namespace varnel {

// Step A: for each enabled port, puts the status table its serial parameters
// ask for behind the last module (or replaces/removes one standing last).
// Refuses when a port has no free slot after its last module; a change
// already made to COM1 stays.
LegacyRefusal PlaceSlaveStatusModules(CVarnelDoc& doc);

// Step B: the configuration image, ending with its CRC-16/MODBUS (high byte
// first). Any size is built; nothing is truncated.
Bytes BuildImage(const CVarnelDoc& doc);

// Refuses a configuration whose parameter bytes of one port do not fit the
// image's 16-bit length field (only hand-edited documents can get there).
LegacyRefusal CheckImageLimits(const CVarnelDoc& doc);

struct CompileResult {
    LegacyRefusal message;  // step A's refusal or the hex file's write failure
    Bytes image;      // the image when step B ran
    bool hexWritten = false;
};

// Step A, the size check and step B, without writing anything.
CompileResult CompileImage(CVarnelDoc& doc);

// Step A, step B, then the hex file at `hexPath`.
CompileResult Compile(CVarnelDoc& doc, const std::string& hexPath);

inline constexpr const char* STATUS_SLOT_REFUSAL = "从站状态检测需要占用插槽";

}  // namespace varnel
