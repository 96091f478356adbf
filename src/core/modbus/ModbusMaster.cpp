#include "core/modbus/ModbusMaster.h"

#include <algorithm>

#include "core/modbus/CommandType.h"

namespace varnel {

namespace {

std::int32_t BitBytes(std::int32_t bits)
{
    return (bits + 7) / 8;
}

// Data length of a quantity: 2 bytes per register, one bit per coil or input.
std::int32_t DataLength(bool registers, std::int32_t quantity)
{
    return registers ? 2 * quantity : BitBytes(quantity);
}

std::uint8_t High(std::uint16_t value)
{
    return static_cast<std::uint8_t>(value >> 8);
}
std::uint8_t Low(std::uint16_t value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

Refusal NotACommand()
{
    return Refuse(Code::NotACommand, "没有可编辑的命令");
}

}  // namespace

Bytes EncodeCommand(const CommandBytes& command)
{
    const CommandFields& f = command.fields;
    return {f.slaveAddress,      command.functionCode, High(f.startAddress),
            Low(f.startAddress), High(f.quantity),     Low(f.quantity)};
}

Result<CommandBytes> DecodeCommand(std::span<const std::uint8_t> p)
{
    if (p.size() < COMMAND_BYTES) return NotACommand();
    CommandBytes command;
    command.fields.slaveAddress = p[0];
    command.functionCode = p[1];
    command.fields.startAddress = static_cast<std::uint16_t>(p[2] << 8 | p[3]);
    command.fields.quantity = static_cast<std::uint16_t>(p[4] << 8 | p[5]);
    return command;
}

CModule MakeModule(std::string_view label, std::uint16_t startAddress, std::uint16_t quantity,
                   std::uint8_t slaveAddress)
{
    CModule module;
    module.moduleName = std::string(label);
    if (const CommandType* type = FindCommandType(label)) {
        module.picture = std::string(type->picture);
        module.modulePrm =
            EncodeCommand({type->functionCode, {slaveAddress, startAddress, quantity}});
        (type->isWrite ? module.outputLen : module.inputLen) =
            DataLength(type->isRegister, quantity);
    } else if (label == MODULE_STATE) {
        module.picture = "state";
        module.inputLen = 1;
    } else if (label == MODULE_CONTROL) {
        module.picture = "control";
        module.outputLen = 1;
    } else if (label == MODULE_COMPRM) {
        module.picture = "comprm";
        module.modulePrm = {0x05, 0x00, 0x00, 0x41, 0x14, 0x00};
    }
    return module;
}

void PlaceModule(CVarnelDoc& doc, SlotRef target, std::string_view label,
                 std::uint16_t startAddress, std::uint16_t quantity, std::uint8_t slaveAddress)
{
    if (!target.InRack()) return;
    doc.Slot(target.port, target.index).module =
        MakeModule(label, startAddress, quantity, slaveAddress);
    doc.modified = true;
}

void SetupPort(CVarnelDoc& doc, Port port)
{
    doc.Enabled(port) = 1;
    PlaceModule(doc, {port, STATE_INDEX}, MODULE_STATE, 0, 1, 0);
    PlaceModule(doc, {port, CONTROL_INDEX}, MODULE_CONTROL, 0, 1, 0);
    PlaceModule(doc, {port, SERIAL_PARAMS_INDEX}, MODULE_COMPRM, 0, 1, 0);
}

Result<CommandFields> ReadCommandFields(const CModule& module)
{
    if (module.IsEmpty() || module.IsStatusTable()) return NotACommand();
    auto command = DecodeCommand(module.modulePrm);
    if (!command) return command.error();
    return command->fields;
}

void ApplyCommandEdit(CModule& module, const CommandFields& fields)
{
    auto command = DecodeCommand(module.modulePrm);
    if (!command) return;
    const Bytes bytes = EncodeCommand({command->functionCode, fields});
    std::copy(bytes.begin(), bytes.end(), module.modulePrm.begin());
    // The direction is kept: a zero length stays zero.
    const bool registers = IsRegisterCommand(module.moduleName);
    if (module.inputLen != 0) module.inputLen = DataLength(registers, fields.quantity);
    if (module.outputLen != 0) module.outputLen = DataLength(registers, fields.quantity);
}

}  // namespace varnel
