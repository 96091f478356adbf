#pragma once
// One module as placed in a rack slot. A plain value: copying copies all
// seven fields deeply. An empty moduleName means the slot is empty.
#include <cstdint>
#include <string>
#include <vector>

namespace varnel {

using Bytes = std::vector<std::uint8_t>;

struct CModule {
    std::string moduleName;
    std::string usrPrm;
    std::string Ext_Module_Prm_Data_Len;
    std::int32_t inputLen = 0;
    std::int32_t outputLen = 0;
    std::string picture;
    Bytes modulePrm;

    bool IsEmpty() const { return moduleName.empty(); }
    // A slave-status table: its name begins with exactly "MODBUS".
    bool IsStatusTable() const { return moduleName.compare(0, 6, "MODBUS") == 0; }

    bool operator==(const CModule&) const = default;
};

// One place in a rack: exactly one module.
struct CSlot {
    CModule module;

    bool IsEmpty() const { return module.IsEmpty(); }
    bool operator==(const CSlot&) const = default;
};

}  // namespace varnel
