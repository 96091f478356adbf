#pragma once
// The command table of varnelctl. Each command group lives in its own file and
// registers its commands with a static CliCommand object, so adding a group
// needs no edit elsewhere.
#include <iosfwd>
#include <string>
#include <vector>

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

// Thrown by the argument helpers for wrong usage; main turns it into exit 2.
struct UsageError {
    std::string text;
};

// Prints a message of the system on stderr: its text, and its caption on a
// second line when the caption says more than "错误"/"提示".
void PrintMessage(const Message& message);
// Prints a refusal and returns EXIT_REFUSED.
int Refuse(const Message& message);
int Refuse(const std::string& text);

// Argument helpers. Options are "--name value"; flags are "--name".
class Args {
public:
    explicit Args(const std::vector<std::string>& args);
    // Next positional argument; throws UsageError naming `what` when missing.
    std::string Positional(const char* what);
    bool HasPositional() const;
    // Value of option --name, or the fallback when absent (all occurrences
    // are consumed; the last one counts).
    std::string Option(const char* name, const std::string& fallback = {});
    bool HasOption(const char* name) const;
    std::vector<std::string> Options(const char* name);
    bool Flag(const char* name);
    // Throws UsageError when arguments remain unconsumed.
    void Done() const;

private:
    std::vector<std::string> items;
    std::vector<bool> used;
};

// Parses a decimal or 0x-prefixed number; throws UsageError on bad text.
long ParseNumber(const std::string& text, const char* what);

}  // namespace varnel::cli
