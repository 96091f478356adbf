#pragma once
// One assignment as the user enters it, its checks in their order (each with
// its own message) and the assignment the server answers from: the one
// builder of the new-assignment dialog (CNewIpDlg) and of
// `varnelctl dhcp-server --assign`.
#include <string>
#include <string_view>

#include "core/ipassign/DhcpServerContext.h"
#include "core/util/Result.h"

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
// fails), the 250-byte limits of the device name and the description in the
// code page (GB2312). Refuses with Code::BadAssignment and the check's text.
Status CheckNewIp(const NewIpEntry& entry);

// The checked entry as the server's assignment (MAC as typed, the address,
// the device name); `offerArmed` for an association with a listed request.
Result<DhcpAssignment> BuildAssignment(const NewIpEntry& entry, bool offerArmed);

// "MAC=IP[,NAME]" into an entry. Refuses text without '=' with Code::BadValue;
// the fields are checked by CheckNewIp, not here.
Result<NewIpEntry> ParseAssignmentText(std::string_view text);

}  // namespace varnel
