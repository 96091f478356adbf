#pragma once
// Shared steps of the commands that work on a project file.
#include <string>

#include "cli/CliCommand.h"
#include "core/model/CVarnelDoc.h"

namespace varnel::cli {

// Reads PROJECT (reading steps only, no compile); throws nothing, returns
// false after printing the refusal.
bool OpenProject(const std::string& path, CVarnelDoc& doc);

// Writes the document back atomically; returns the exit code.
int SaveBack(const std::string& path, const CVarnelDoc& doc);

// "COM1" or "COM2" (case-insensitive); throws UsageError otherwise.
Port ParsePort(const std::string& text);

}  // namespace varnel::cli
