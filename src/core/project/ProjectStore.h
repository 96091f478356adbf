#pragma once
// Opening and saving a project by its file name: ".vrc" project files and
// ".json" documents. Reading runs only the reading steps, never the compile.
#include <string>

#include "core/model/CVarnelDoc.h"
#include "core/model/Message.h"

namespace varnel {

// Reads `path` into `doc`; on a refusal the message says what is wrong.
LegacyRefusal LoadProject(const std::string& path, CVarnelDoc& doc);

// Writes `doc` to `path` atomically; the old file survives any failure.
LegacyRefusal SaveProject(const std::string& path, const CVarnelDoc& doc);

}  // namespace varnel
