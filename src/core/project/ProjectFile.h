#pragma once
// The project file (".vrc"): a length prefix followed by the XML text of the
// configuration in the tool's code page (GBK). Model texts are UTF-8 and are
// converted here, at the file's boundary.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

namespace ProjectFile {

// The text every written project starts with.
inline constexpr const char* DECLARATION = "<?xml version='1.0' encoding='gb2312'?>";

// The whole file: length prefix and text. Walks user slots up to
// deviceSlotNum + 2, so the count must lie within 1 to 54.
std::string Store(const CVarnelDoc& doc);
// The XML text alone, in GBK.
std::string BuildText(const CVarnelDoc& doc);
// The length prefix for a text of n bytes, in its single-byte form.
std::string LengthPrefix(std::uint64_t n);

// Reads file bytes into `doc` step by step. Refusals:
// - ProjectIncomplete: an element was missing; reading stopped there and
//   what was read before stays in `doc`; the message names the element;
// - ProjectFormat: the file is broken; `doc` was renewed (OnNewDocument) and
//   the message is "文档格式错误".
Status Load(std::string_view bytes, CVarnelDoc& doc, const std::string& name = "");
// Reads the file at `path` (reading steps only); also ReadWholeFile's codes.
Status Read(const std::string& path, CVarnelDoc& doc);
// Writes the file atomically (WriteFileAtomically's codes). A slot count
// outside 1 to 54 is refused (BadSlotCount) before anything is written.
Status Save(const std::string& path, const CVarnelDoc& doc);

// "文档格式错误" with the caption "错误": a broken file, or a byte or slot
// accessed outside its array (the invalid-argument error).
Refusal FormatRefusal();
// Renews the document (OnNewDocument) and gives FormatRefusal().
Refusal FormatError(CVarnelDoc& doc);

}  // namespace ProjectFile

}  // namespace varnel
