#pragma once
// varnelctl's argument parsing, free of everything else the program links so
// it can be fuzzed on its own.
#include <string>
#include <vector>

namespace varnel::cli {

// Thrown by the argument helpers for wrong usage; main turns it into exit 2.
struct UsageError {
    std::string text;
};

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
