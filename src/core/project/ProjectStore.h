#pragma once
// Opening and saving a project by its file name: ".vrc" project files and
// ".json" documents.
#include <string>

#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

// Reads `path` into `doc` (reading steps only, no compile). Refusals: the
// codes of ReadWholeFile, ProjectFile::Load and ImportJson; ProjectKind
// for a name that is neither ".vrc" nor ".json" (a folder is FileIsDirectory).
Status LoadProject(const std::string& path, CVarnelDoc& doc);

// Writes `doc` to `path` atomically; the old file survives any failure.
Status SaveProject(const std::string& path, const CVarnelDoc& doc);

// What an open brings besides the configuration: the compile's outcome. A
// compile refusal (no room for a status table, the hex file not written) is
// shown by the front end; the open itself still succeeded.
struct OpenedProject {
    Result<Bytes> compile;  // the compiled image, or the compile's refusal
};

// Opening as the application does: LoadProject, then the compile into the
// hex file of doc.appFolder, so that after an open the hex file matches the
// configuration. A compile that meets a parameter byte outside its module
// is the format error: `doc` is renewed and the refusal is ProjectFormat.
Result<OpenedProject> OpenProjectFile(const std::string& path, CVarnelDoc& doc);

}  // namespace varnel
