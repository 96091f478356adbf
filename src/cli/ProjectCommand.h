#pragma once
// Shared steps of the commands that work on a project file.
#include <functional>
#include <string>

#include "cli/CliCommand.h"
#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel::cli {

// A new document as the program makes it: defaults, the data folder and the
// address of its option file.
CVarnelDoc NewDocument();

// Reads PROJECT (reading steps only, no compile) into `doc`, which gets the
// data folder; false after printing the refusal.
bool OpenProject(const std::string& path, CVarnelDoc& doc);

// What a change to a project did, as the one line printed after the save;
// or why it was refused (printed, exit 1).
using ChangeResult = Result<std::string>;
using Change = std::function<ChangeResult(CVarnelDoc&)>;

// Opens PROJECT, applies `change` and saves it back, all under the project's
// lock, so that two varnelctl processes never lose each other's edits.
// Prints the change's line on success; returns the exit code.
int ChangeProject(const std::string& path, const Change& change);

// Writes `doc` to PROJECT under its lock (new, import); prints `done`.
int WriteProject(const std::string& path, const CVarnelDoc& doc, const std::string& done);

// Refuses (Code::WouldLoseData) an output path that names the project
// itself, unless forced.
Status CheckOutputIsNotProject(const std::string& output, const std::string& project, bool force);

// The arguments of a command that reads one file and writes -o OUTPUT:
// INPUT, the output ("-" is stdout) and --force where the command has it.
// `missingOutput` names what -o needs when it is required (a usage error
// without it); nullptr when -o may be left out.
struct InOut {
    std::string input;
    std::string output;
    bool force = false;
};
InOut ParseInOut(const std::vector<std::string>& argv, const char* inputName, bool hasForce,
                 const char* missingOutput);

// The one positional argument of a command; a usage error for anything else.
std::string SinglePositional(const std::vector<std::string>& argv, const char* what);

// "COM1" or "COM2" (case-insensitive); throws UsageError otherwise.
Port ParsePort(const std::string& text);

}  // namespace varnel::cli
