// The assignment list reader on any bytes: every row it accepts passes the
// new-assignment checks, and what it writes back reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/ipassign/AssignmentCsv.h"

using namespace varnel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto rows =
        ReadAssignmentCsv(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!rows) return 0;
    for (const NewIpEntry& row : *rows)
        if (!CheckNewIp(row)) std::abort();
    const auto again = ReadAssignmentCsv(WriteAssignmentCsv(*rows));
    if (!again || again->size() != rows->size()) std::abort();
    for (std::size_t i = 0; i < rows->size(); ++i)
        if ((*again)[i].macText != (*rows)[i].macText || (*again)[i].ipText != (*rows)[i].ipText ||
            (*again)[i].deviceName != (*rows)[i].deviceName)
            std::abort();
    return 0;
}
