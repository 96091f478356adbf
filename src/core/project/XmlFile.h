#pragma once
// XML files on disk for the engine: the text is UTF-8 in the file unless its
// declaration names another encoding, and the tool's code page in the engine.
#include <string>

#include "core/project/CXmlDoc.h"
#include "core/util/Result.h"

namespace varnel {

// Reads the file into `xml` and parses it. UTF-8 (no encoding declared, or
// "UTF-8") is converted to the code page; a character it cannot hold becomes
// "?". Other encodings keep their bytes. On a refusal (the codes of
// ReadWholeFile) the engine holds an empty document.
Status LoadXmlFile(const std::string& path, CXmlDoc& xml);

// Writes the document atomically, converted back to UTF-8 when it declares no
// encoding or "UTF-8". An empty document leaves an empty file.
Status SaveXmlFile(const std::string& path, const CXmlDoc& xml);

}  // namespace varnel
