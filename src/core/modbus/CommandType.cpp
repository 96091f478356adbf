#include "core/modbus/CommandType.h"

namespace varnel {

const std::array<CommandType, 8>& CommandTypes()
{
    static const std::array<CommandType, 8> types = {{
        {LABEL_READ_COILS, "m01", 0x01, 2000, false, false},
        {LABEL_WRITE_COILS, "m0f", 0x0F, 1968, true, false},
        {LABEL_WRITE_COIL, "m05", 0x05, 1, true, false},
        {LABEL_READ_INPUTS, "m02", 0x02, 2000, false, false},
        {LABEL_READ_INPUT_REGS, "m04", 0x04, 125, false, true},
        {LABEL_READ_HOLDING, "m03", 0x03, 125, false, true},
        {LABEL_WRITE_REGISTER, "m06", 0x06, 1, true, true},
        {LABEL_WRITE_REGISTERS, "m10", 0x10, 123, true, true},
    }};
    return types;
}

const CommandType* FindCommandType(std::string_view label)
{
    for (const auto& type : CommandTypes())
        if (type.label == label) return &type;
    return nullptr;
}

const CommandType* FindCommandTypeByCode(std::uint8_t functionCode)
{
    for (const auto& type : CommandTypes())
        if (type.functionCode == functionCode) return &type;
    return nullptr;
}

bool HasFixedQuantity(std::string_view label)
{
    const CommandType* type = FindCommandType(label);
    return type != nullptr && type->maxQuantity == 1;
}

bool IsRegisterCommand(std::string_view label)
{
    const CommandType* type = FindCommandType(label);
    return type != nullptr && type->isRegister;
}

WriteGroup WriteGroupOf(std::string_view label)
{
    const CommandType* type = FindCommandType(label);
    if (type == nullptr || !type->isWrite) return WriteGroup::None;
    return type->isRegister ? WriteGroup::Registers : WriteGroup::Coils;
}

}  // namespace varnel
