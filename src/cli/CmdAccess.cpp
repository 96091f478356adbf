// varnelctl access: what the access-parameter dialog's OK does, the address
// written to the option file, where every new document picks it up.
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "core/project/OptionFile.h"
#include "core/util/Ipv4.h"

namespace varnel::cli {

namespace {

int CmdAccess(const std::vector<std::string>& args)
{
    Args a(args);
    const std::string text = a.Positional("ADDRESS");
    a.Done();
    const auto address = ParseIpv4(text);
    if (!address) throw UsageError{"bad address: " + text};
    const std::string stored = FormatIpv4(*address);
    if (const Status written = WriteAccessAddress(DataFolder(), stored); !written)
        return Refuse(written.message());
    std::cout << "stored access address " << stored << " in " << OptionFilePath(DataFolder())
              << "; new projects start with it" << std::endl;
    return EXIT_OK;
}

CliCommand cmdAccess{"access", "access ADDRESS", &CmdAccess};

}  // namespace

}  // namespace varnel::cli
