#pragma once
// The assignment list as a file: UTF-8 CSV with the header "mac,ip,name",
// one assignment a row, in the window's order. Fields holding a comma, a
// quote or a line break are quoted ("" inside a quoted field is one quote).
// Standard C++ only: the reader takes any bytes.
#include <string>
#include <string_view>
#include <vector>

#include "core/ipassign/NewIpChecks.h"
#include "core/util/Result.h"

namespace varnel {

// Reads the whole file. Every row passes the checks of the new-assignment
// dialog (CheckNewIp); the first bad row refuses the whole file with
// Code::BadAssignment and "第 N 行 (line N): " before the check's text, N
// counting the file's lines from 1 (the header is line 1). A UTF-8 byte
// order mark, CR LF line ends and blank lines are accepted.
Result<std::vector<NewIpEntry>> ReadAssignmentCsv(std::string_view text);

// The file for a list (the description is not kept), header first, LF ends.
std::string WriteAssignmentCsv(const std::vector<NewIpEntry>& rows);

// The file at `path` read as above; a bad row's message starts with the
// path. Also the codes of ReadWholeFile.
Result<std::vector<NewIpEntry>> LoadAssignmentFile(const std::string& path);
// Writes the list to `path` (codes of WriteFileAtomically).
Status SaveAssignmentFile(const std::string& path, const std::vector<NewIpEntry>& rows);

// The path of the list last opened or saved, kept beside the option file in
// the data folder `appFolder`; empty when none is kept.
std::string LastAssignmentFile(const std::string& appFolder);
Status RememberAssignmentFile(const std::string& appFolder, const std::string& path);

}  // namespace varnel
