#pragma once
// The command table of varnelctl. Each command group lives in its own file and
// registers its commands with a static CliCommand object, so adding a group
// needs no edit elsewhere.
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "core/model/Message.h"

namespace varnel::cli {

// The program's data folder (IP/, HEX/), resolved once by main.
const std::string& DataFolder();

// Exit codes of every command.
enum ExitCode { EXIT_OK = 0, EXIT_REFUSED = 1, EXIT_USAGE = 2 };

using CommandFn = int (*)(const std::vector<std::string>& args);

struct CliCommand {
    // Registers `name`; `usage` is the synopsis line shown by --help.
    CliCommand(const char* name, const char* usage, CommandFn fn);
};

// A text of the system as varnelctl prints it: the Chinese text, and when
// the locale (LC_ALL, else LC_MESSAGES, else LANG) is English (en_*), each
// line the table of texts knows followed by its English: "中文 (English)".
std::string Shown(const std::string& text);

// Prints a message of the system on stderr: its text, and its caption on a
// second line when the caption says more than "错误"/"提示".
void PrintMessage(const Message& message);
// Prints a refusal and returns EXIT_REFUSED.
int Refuse(const Message& message);
int Refuse(const std::string& text);

}  // namespace varnel::cli
