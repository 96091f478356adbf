#pragma once
// The checks of the new-assignment dialog (CNewIpDlg), in their order, each
// with its own message; shared by the dialog and the command line.
#include <string>
#include <string_view>

#include "core/model/Message.h"

namespace varnel {

// The four texts of one assignment as the user entered them.
struct NewIpEntry {
    std::string macText;
    std::string ipText;
    std::string deviceName;
    std::string description;
};

// "XX:XX:XX:XX:XX:XX" with hexadecimal digits in either case, not all 0 and
// not all F.
bool IsValidMacText(std::string_view text);

// The MAC check, the IP's first byte 1-223 (an empty or malformed address
// fails), the 250-byte limits of the device name and the description.
// nullopt when the entry may be stored as typed.
LegacyRefusal CheckNewIp(const NewIpEntry& entry);

}  // namespace varnel
