#pragma once
// The project file (".vrc"): a length prefix followed by the XML text of the
// configuration in the tool's code page (GBK). Model texts are UTF-8 and are
// converted here, at the file's boundary.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/image/Compiler.h"
#include "core/model/CVarnelDoc.h"
#include "core/model/Message.h"

namespace varnel {

// How a read ended.
enum class ProjectReadStatus {
    Complete,     // every element was found: the front end compiles next
    Incomplete,   // reading stopped at the first missing element; no message
    FormatError,  // the file is broken: the document was renewed, "文档格式错误"
    Unreadable,   // the file could not be opened; the document is unchanged
};

struct ProjectReadResult {
    ProjectReadStatus status = ProjectReadStatus::Complete;
    std::string missing;  // Incomplete: the element that was not found
    LegacyRefusal message;      // FormatError and Unreadable: what to show

    bool IsComplete() const { return status == ProjectReadStatus::Complete; }
};

// The outcome of opening a project as the application does it: the read and,
// when it reached the end, the compile into the hex file.
struct ProjectOpenResult {
    ProjectReadResult read;
    std::optional<Result<Bytes>> compile;  // absent when the read did not complete
};

// What the document's serialisation is handed: the direction and the bytes.
struct ProjectArchive {
    bool storing = false;
    std::string bytes;
};

class ProjectFile {
public:
    // The text every written project starts with.
    static constexpr const char* DECLARATION = "<?xml version='1.0' encoding='gb2312'?>";

    // Both directions of the document's serialisation: storing fills
    // archive.bytes; loading reads them into `doc` (reading steps only).
    static ProjectReadResult Serialize(ProjectArchive& archive, CVarnelDoc& doc);

    // The whole file: length prefix and text. Walks user slots up to
    // deviceSlotNum + 2, so the count must lie within 1 to 54.
    static std::string Store(const CVarnelDoc& doc);
    // The XML text alone, in GBK.
    static std::string BuildText(const CVarnelDoc& doc);
    // The length prefix for a text of n bytes, in its single-byte form.
    static std::string LengthPrefix(std::uint64_t n);

    // Reads file bytes into `doc` step by step. A missing element ends the
    // read quietly, keeping what was read; a broken file runs OnNewDocument
    // and returns the format error message.
    static ProjectReadResult Load(std::string_view bytes, CVarnelDoc& doc);

    // Reads the file at `path` (reading steps only, no compile).
    static ProjectReadResult Read(const std::string& path, CVarnelDoc& doc);
    // Reads the file and, when the read is complete, compiles the document
    // into the hex file of its appFolder.
    static ProjectOpenResult Open(const std::string& path, CVarnelDoc& doc);
    // Writes the file atomically. On failure the document is untouched, the
    // old file keeps its content and the message names the file and reason.
    static LegacyRefusal Save(const std::string& path, const CVarnelDoc& doc);

    // "文档格式错误" with the caption "错误".
    static Message FormatErrorMessage();
    // The message for a read that stopped at a missing element.
    static Message IncompleteMessage(const std::string& path, const std::string& missing);

    // Number conversions of the reader, as the C library does them.
    static std::int32_t DecimalValue(std::string_view text);
    static Bytes HexPairs(std::string_view text);
};

}  // namespace varnel
