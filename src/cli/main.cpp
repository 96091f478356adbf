// varnelctl: the command-line front end of Varnel.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/SerialParams.h"
#include "core/model/AppFolder.h"
#include "core/model/MessageTable.h"
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

std::string dataFolder;

// What each command does, its defaults and allowed values; --help prints it
// under the synopsis. Lists that come from the rules themselves (command
// types, serial parameter items) are added by CommandHelp.
const std::map<std::string, const char*> HELP = {
    {"new",
     "Creates a new project: 10 user slots, no port set up, and the gateway address\n"
     "stored by 'access' (empty when there is none). Replaces PROJECT if it exists.\n"},
    {"setup-port",
     "Sets up the Modbus master of a port: STATE, CONTROL and the default serial\n"
     "parameters (9600, 8N1, 200 ms) in its three fixed slots. Commands in the user\n"
     "slots are kept; setting up a port again resets its serial parameters.\n"},
    {"add",
     "Adds one Modbus command to user slot SLOT (1 to the slot count) of a port.\n"
     "TYPE is a command label or its function code. Defaults: --slave 0, --start 0,\n"
     "--qty 1. Slave 0-255, start 0-65535, quantity within the type's limit below.\n"
     "A write may not overlap another write of its kind to the same slave and port.\n"
     "An occupied slot is refused unless --force, which replaces its command.\n"},
    {"edit",
     "Changes the slave, start or quantity of the command in SLOT; options left out\n"
     "keep their value. The function code and direction stay; checks as for add.\n"},
    {"serial",
     "Sets the serial parameters of a set-up port. Each option takes an item's text\n"
     "or its index (0-based) in the list below; options left out keep their value.\n"},
    {"delete",
     "COM1:SLOT empties one user slot. COM1 alone removes the port's whole Modbus\n"
     "master; when it still holds commands this is refused unless --force.\n"},
    {"slots",
     "Sets the number of user slots per port: 1 to 54 (digits only; 054 is 54).\n"
     "A count below an occupied slot would drop its command from the project file:\n"
     "refused unless --force.\n"},
    {"ip",
     "Sets the gateway address stored in the project: four decimal numbers 0-255\n"
     "(no leading zeros). Anything else is a usage error, \"bad address\".\n"},
    {"show",
     "Prints the configuration: address, slot count, each set-up port's serial\n"
     "parameters and commands with their EtherNet/IP data ranges.\n"},
    {"compile",
     "Compiles the project into the configuration image. Default output: the hex\n"
     "file HEX/hex.txt of the data folder; -o FILE writes FILE, -o - prints the hex\n"
     "text. The project itself is never rewritten; -o naming it is refused unless\n"
     "--force.\n"},
    {"export",
     "Writes the project as a JSON document to FILE.json, or to stdout with -o -.\n"
     "-o naming the project itself is refused unless --force.\n"},
    {"import",
     "Reads a JSON document, as export writes it, and saves it as PROJECT\n"
     "(.vrc or .json, replaced if it exists).\n"},
    {"access",
     "Stores the gateway address in the option file IP/ETHOption.xml of the data\n"
     "folder; every new project starts with it. Four decimal numbers 0-255.\n"},
    {"download",
     "Compiles PROJECT (or reads --hex HEXFILE) and downloads the image to the\n"
     "gateway on TCP port 60000. --ip defaults to the project's address (with --hex:\n"
     "the option file's). Afterwards --restart restarts the gateway, --no-restart\n"
     "does not; without either it asks on a terminal and otherwise does not restart.\n"},
    {"clear",
     "Clears the configuration of the gateway at --ip (default: the option file's\n"
     "address). Asks for confirmation on a terminal; --yes answers yes.\n"},
    {"restart",
     "Restarts the gateway at --ip (default: the option file's address). Asks for\n"
     "confirmation on a terminal; --yes answers yes.\n"},
    {"decode",
     "Reads a hex file back and describes the configuration image it holds; exits\n"
     "1 when the gateway would refuse the image.\n"},
    {"dhcp-server",
     "Answers BOOTP/DHCP requests until interrupted, printing one line per\n"
     "request. --assign MAC=IP[,NAME] (repeatable) gives a MAC its address and\n"
     "device name. Defaults: --listen 0.0.0.0, --port 67, --reply-port 68.\n"},
    {"dhcp-enable",
     "Switches the DHCP client of the gateway at ADDRESS on over EtherNet/IP\n"
     "explicit messaging. Default --port 44818.\n"},
    {"dhcp-disable",
     "Switches the DHCP client of the gateway at ADDRESS off over EtherNet/IP\n"
     "explicit messaging. Default --port 44818.\n"},
    {"report",
     "Prints the I/O map: where each command's data lands in the port's\n"
     "EtherNet/IP input or output bytes, as compiling places it (the slave-status\n"
     "table included; nothing is written). --csv FILE|- writes it as CSV (UTF-8\n"
     "with BOM), --json prints it as JSON, --pdf FILE writes an A4 commissioning\n"
     "sheet (needs no display). Exits 1 when the project does not compile.\n"},
    {"diff",
     "Compares two projects (.vrc or .json, by content) or two hex files (.hex or\n"
     ".txt, by what they decode to; a project beside a hex file is compiled first)\n"
     "and prints one line per difference. Exit 0 equal, 1 different, 2 wrong usage\n"
     "or a file that cannot be read.\n"},
    {"poll",
     "Runs a port's commands as the gateway would, as Modbus RTU master on DEVICE\n"
     "(for example /dev/ttyUSB0) with the port's serial parameters, and prints one\n"
     "line per command: values, the Modbus exception, \"no answer in T ms\", or a\n"
     "CRC or framing error. Write commands send only --write SLOT=V1,V2,... values\n"
     "(SLOT 1-54 as show numbers it); others print \"skipped (no --write value)\".\n"
     "Defaults: --rounds 1 (0 polls until Ctrl-C, then a summary), --timeout 1000.\n"
     "Exit 0 when every command sent was answered with data, 1 otherwise.\n"},
};

std::string CommandHelp(const std::string& name)
{
    const auto text = HELP.find(name);
    std::string help = text == HELP.end() ? "" : text->second;
    if (name == "add") {
        help += "\ncommand types (function code, quantity, label):\n";
        for (const auto& type : CommandTypes()) {
            const std::string quantity =
                type.maxQuantity == 1 ? "1" : "1-" + std::to_string(type.maxQuantity);
            char line[96];
            std::snprintf(line, sizeof line, "  %02X  %-7s ", type.functionCode, quantity.c_str());
            help += line + std::string(type.label) + "\n";
        }
    }
    if (name == "serial") {
        const char* options[] = {"--baud",   "--format", "--monitor",   "--timer",
                                 "--update", "--write",  "--timer-mode"};
        for (int list = 0; list < LIST_COUNT; ++list) {
            help += std::string("\n") + options[list] + ":\n";
            const auto& items = SerialLists()[static_cast<std::size_t>(list)].items;
            for (std::size_t i = 0; i < items.size(); ++i)
                help += "  " + std::to_string(i) + ": " + std::string(items[i]) + "\n";
        }
    }
    const std::set<std::string> changes = {"new",    "setup-port", "add", "edit",  "serial",
                                           "delete", "slots",      "ip",  "import"};
    if (changes.count(name) != 0)
        help +=
            "\nA project being changed by another varnelctl is waited for up to 10 s\n"
            "(VARNEL_LOCK_WAIT_MS sets the wait in ms).\n";
    return help;
}

void PrintUsage(std::ostream& out)
{
    out << "usage: varnelctl COMMAND [ARGUMENTS]\n"
           "       varnelctl COMMAND --help   (what COMMAND does, its defaults and values)\n\n"
           "commands:\n";
    for (const auto& [name, entry] : Table()) {
        out << "  varnelctl " << entry.usage << "\n";
        if (const auto help = HELP.find(name); help != HELP.end()) {
            const std::string text = help->second;
            std::string first = text.substr(0, std::min(text.find(". "), text.find(".\n")));
            std::replace(first.begin(), first.end(), '\n', ' ');
            out << "      " << first.substr(0, first.find_last_not_of(". ") + 1) << ".\n";
        }
    }
    out << "\nPROJECT is a .vrc project file or a .json document.\n"
           "Exit codes: 0 done, 1 refused (the reason is printed), 2 usage error.\n";
}
}  // namespace

const std::string& DataFolder()
{
    return dataFolder;
}

CliCommand::CliCommand(const char* name, const char* usage, CommandFn fn)
{
    Table()[name] = Entry{usage, fn};
}

std::string Shown(const std::string& text)
{
    return TerminalText(text);
}

void PrintMessage(const Message& message)
{
    std::cerr << Shown(message.text) << "\n";
    if (!message.caption.empty() && message.caption != "错误" && message.caption != "提示")
        std::cerr << Shown(message.caption) << "\n";
    std::cerr.flush();
}

int Refuse(const Message& message)
{
    PrintMessage(message);
    return EXIT_REFUSED;
}

int Refuse(const std::string& text)
{
    return Refuse(ErrorMessage(text));
}

}  // namespace varnel::cli

namespace {
bool IsHelp(const std::string& arg)
{
    return arg == "--help" || arg == "-h" || arg == "help";
}
}  // namespace

int main(int argc, char** argv)
{
    using namespace varnel::cli;
    std::setlocale(LC_ALL, "C.UTF-8");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && IsHelp(args[0]) && !IsHelp(args[1]))
        args = {args[1], "--help"};  // "help COMMAND" is "COMMAND --help"
    if (args.empty() || IsHelp(args[0])) {
        PrintUsage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? EXIT_USAGE : EXIT_OK;
    }
    auto it = Table().find(args[0]);
    if (it == Table().end()) {
        std::cerr << "varnelctl: unknown command '" << args[0] << "'\n";
        PrintUsage(std::cerr);
        return EXIT_USAGE;
    }
    if (std::any_of(args.begin() + 1, args.end(),
                    [](const std::string& a) { return a == "--help" || a == "-h"; })) {
        std::cout << "usage: varnelctl " << it->second.usage << "\n\n" << CommandHelp(args[0]);
        return EXIT_OK;
    }
    dataFolder = varnel::ProgramDataFolder();
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
