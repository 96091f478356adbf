#include "core/modbus/StatusTable.h"

namespace varnel {

CModule MakeStatusTableModule(int choice)
{
    struct Kind {
        const char* name;
        const char* picture;
        int slaves;    // table size: 8, 16, 24 or 32 slaves
        bool perByte;  // one byte per slave rather than one bit
    };
    static const Kind kinds[8] = {
        {"MODBUS从站状态表（8位）", "s8bit", 8, false},
        {"MODBUS从站状态表（8字节）", "s8byte", 8, true},
        {"MODBUS从站状态表（16位）", "s16bit", 16, false},
        {"MODBUS从站状态表（16字节）", "s16byte", 16, true},
        {"MODBUS从站状态表（24位）", "s24bit", 24, false},
        {"MODBUS从站状态表（24字节）", "s24byte", 24, true},
        {"MODBUS从站状态表（32位）", "s32bit", 32, false},
        {"MODBUS从站状态表（32字节）", "s32byte", 32, true},
    };
    CModule module;
    if (choice < 1 || choice > 8) return module;
    const Kind& kind = kinds[choice - 1];
    module.moduleName = kind.name;
    module.picture = kind.picture;
    module.inputLen = kind.perByte ? kind.slaves : kind.slaves / 8;
    for (int i = 0; i < kind.slaves; ++i) module.modulePrm.push_back(static_cast<std::uint8_t>(i));
    return module;
}

}  // namespace varnel
