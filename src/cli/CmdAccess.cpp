// varnelctl access: what the access-parameter dialog's OK does, the address
// written to the option file, where every new document picks it up.
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "core/model/AppFolder.h"
#include "core/model/OptionFile.h"

namespace varnel::cli {

namespace {

// The form the dialog's address field gives: four numbers 0 to 255 with dots.
bool IsDottedAddress(const std::string& text)
{
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 3) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || value > 255) return false;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
    }
    return i == text.size();
}

int CmdAccess(const std::vector<std::string>& args)
{
    Args a(args);
    const std::string address = a.Positional("ADDRESS");
    a.Done();
    if (!IsDottedAddress(address))
        throw UsageError{"ADDRESS must be four numbers 0-255 with dots between, not " + address};
    if (const Status written = WriteAccessAddress(ProgramDataFolder(), address); !written)
        return Refuse(written.message());
    return EXIT_OK;
}

CliCommand cmdAccess{"access", "access ADDRESS", &CmdAccess};

}  // namespace

}  // namespace varnel::cli
