// varnelctl's argument parser fed argv vectors (NUL separates the arguments)
// and a query script from the first bytes: it either throws UsageError or
// answers, never anything else; a flag takes every occurrence; Done() passes
// exactly when the positionals could take whatever the queries left.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/Args.h"

using varnel::cli::Args;
using varnel::cli::UsageError;

namespace {

#define Check(condition) ((condition) ? void() : std::abort())

const char* const NAMES[] = {"port", "ip", "timeout", "out", "v", "json", "mac", "x"};

// Runs one query; wrong usage throws UsageError.
void Query(Args& args, std::uint8_t op)
{
    const char* name = NAMES[(op >> 3) % 8];
    switch (op % 5) {
        case 0: (void)args.Positional("thing"); return;
        case 1: (void)args.Option(name, "fallback"); return;
        case 2: {
            const bool had = args.HasOption(name);
            Check(had == !args.Options(name).empty());
            return;
        }
        case 3: {
            const bool had = args.HasOption(name);
            // A flag takes every occurrence; none are left afterwards.
            const bool found = args.Flag(name);
            Check(had == found && !args.HasOption(name));
            return;
        }
        default: (void)args.HasPositional(); return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::size_t scriptLength = data[0] % 16;
    if (size < 1 + scriptLength) return 0;
    const std::uint8_t* script = data + 1;
    std::vector<std::string> argv;
    std::string current;
    for (std::size_t i = 1 + scriptLength; i < size; ++i) {
        if (data[i] == 0) {
            argv.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    argv.push_back(current);

    // Numbers: a value or UsageError, nothing else escapes.
    for (const std::string& item : argv) {
        try {
            (void)varnel::cli::ParseNumber(item, "n");
        } catch (const UsageError& e) {
            Check(!e.text.empty());
        }
    }
    Args args(argv);
    for (std::size_t s = 0; s < scriptLength; ++s) {
        try {
            Query(args, script[s]);
        } catch (const UsageError& e) {
            Check(!e.text.empty());
        }
    }
    // Whatever is left, positionals take in order until an option stands.
    bool positionalRefused = false;
    while (args.HasPositional()) {
        try {
            (void)args.Positional("rest");
        } catch (const UsageError&) {
            positionalRefused = true;
            break;
        }
    }
    try {
        args.Done();
        Check(!positionalRefused);
    } catch (const UsageError& e) {
        Check(positionalRefused && !e.text.empty());
    }
    return 0;
}
