#include "cli/Args.h"

#include <exception>
#include <string>
#include <vector>

namespace varnel::cli {

Args::Args(const std::vector<std::string>& args) : items(args), used(args.size(), false) {}

std::string Args::Positional(const char* what)
{
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (used[i]) continue;
        if (items[i].size() > 2 && items[i].rfind("--", 0) == 0)
            throw UsageError{std::string("unexpected option ") + items[i]};
        used[i] = true;
        return items[i];
    }
    throw UsageError{std::string("missing ") + what};
}

bool Args::HasPositional() const
{
    for (std::size_t i = 0; i < items.size(); ++i)
        if (!used[i]) return true;
    return false;
}

namespace {
// "--name" for long options, "-n" for one-letter ones.
std::string OptionKey(const char* name)
{
    return (std::string(name).size() == 1 ? "-" : "--") + std::string(name);
}
}  // namespace

std::vector<std::string> Args::Options(const char* name)
{
    std::vector<std::string> values;
    const std::string key = OptionKey(name);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (used[i] || items[i] != key) continue;
        if (i + 1 >= items.size() || used[i + 1]) throw UsageError{key + " needs a value"};
        used[i] = used[i + 1] = true;
        values.push_back(items[i + 1]);
        ++i;
    }
    return values;
}

std::string Args::Option(const char* name, const std::string& fallback)
{
    auto values = Options(name);
    return values.empty() ? fallback : values.back();
}

bool Args::HasOption(const char* name) const
{
    const std::string key = OptionKey(name);
    for (std::size_t i = 0; i < items.size(); ++i)
        if (!used[i] && items[i] == key) return true;
    return false;
}

bool Args::Flag(const char* name)
{
    bool found = false;
    const std::string key = OptionKey(name);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!used[i] && items[i] == key) {
            used[i] = true;
            found = true;
        }
    }
    return found;
}

void Args::Done() const
{
    for (std::size_t i = 0; i < items.size(); ++i)
        if (!used[i]) throw UsageError{"unexpected argument " + items[i]};
}

long ParseNumber(const std::string& text, const char* what)
{
    std::size_t pos = 0;
    long value = 0;
    try {
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        value = std::stol(hex ? text.substr(2) : text, &pos, hex ? 16 : 10);
        if (hex) pos += 2;
    } catch (const std::exception&) {
        pos = 0;
    }
    if (text.empty() || pos != text.size())
        throw UsageError{std::string("bad number for ") + what + ": " + text};
    return value;
}

}  // namespace varnel::cli
