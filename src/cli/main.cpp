// varnelctl: the command-line front end of Varnel.
#include <clocale>
#include <cstdio>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "core/project/ProjectFile.h"

namespace varnel::cli {

namespace {
struct Entry {
    const char* usage;
    CommandFn fn;
};
std::map<std::string, Entry>& Table()
{
    static std::map<std::string, Entry> table;
    return table;
}

void PrintUsage(std::ostream& out)
{
    out << "usage: varnelctl COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const auto& [name, entry] : Table())
        out << "  varnelctl " << entry.usage << "\n";
    out << "\nPROJECT is a .vrc project file or a .json document.\n";
}
}  // namespace

CliCommand::CliCommand(const char* name, const char* usage, CommandFn fn)
{
    Table()[name] = Entry{usage, fn};
}

void PrintMessage(const Message& message)
{
    std::cerr << message.text << "\n";
    if (!message.caption.empty() && message.caption != "错误" && message.caption != "提示")
        std::cerr << message.caption << "\n";
    std::cerr.flush();
}

int Refuse(const Message& message)
{
    PrintMessage(message);
    return EXIT_REFUSED;
}

int Refuse(const std::string& text) { return Refuse(ErrorMessage(text)); }

Args::Args(const std::vector<std::string>& args) : items(args), used(args.size(), false) {}

std::string Args::Positional(const char* what)
{
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (used[i])
            continue;
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
        if (!used[i])
            return true;
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
        if (used[i] || items[i] != key)
            continue;
        if (i + 1 >= items.size() || used[i + 1])
            throw UsageError{key + " needs a value"};
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
        if (!used[i] && items[i] == key)
            return true;
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
        if (!used[i])
            throw UsageError{"unexpected argument " + items[i]};
}

long ParseNumber(const std::string& text, const char* what)
{
    std::size_t pos = 0;
    long value = 0;
    try {
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        value = std::stol(hex ? text.substr(2) : text, &pos, hex ? 16 : 10);
        if (hex)
            pos += 2;
    } catch (const std::exception&) {
        pos = 0;
    }
    if (text.empty() || pos != text.size())
        throw UsageError{std::string("bad number for ") + what + ": " + text};
    return value;
}

}  // namespace varnel::cli

int main(int argc, char** argv)
{
    using namespace varnel::cli;
    std::setlocale(LC_ALL, "C.UTF-8");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? EXIT_USAGE : EXIT_OK;
    }
    auto it = Table().find(args[0]);
    if (it == Table().end()) {
        std::cerr << "varnelctl: unknown command '" << args[0] << "'\n";
        PrintUsage(std::cerr);
        return EXIT_USAGE;
    }
    try {
        return it->second.fn(std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const UsageError& e) {
        std::cerr << "varnelctl " << args[0] << ": " << e.text << "\nusage: varnelctl "
                  << it->second.usage << "\n";
        return EXIT_USAGE;
    } catch (const std::invalid_argument&) {
        // A byte or slot accessed outside its array, as a compile of serial
        // parameters shorter than 3 bytes does: nothing was written or sent.
        return Refuse(varnel::ProjectFile::FormatRefusal().message);
    }
}
