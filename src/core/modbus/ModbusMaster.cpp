#include "core/modbus/ModbusMaster.h"

#include "core/modbus/CommandType.h"

namespace varnel {

namespace {

std::int32_t BitBytes(std::int32_t bits) { return (bits + 7) / 8; }

// Data length of a quantity for a command type: 2 bytes per register,
// one bit per coil or input.
std::int32_t DataLength(const CommandType& type, std::int32_t quantity)
{
    return type.isRegister ? 2 * quantity : BitBytes(quantity);
}

}  // namespace

CModule MakeModule(std::string_view label, std::uint16_t startAddress, std::uint16_t quantity,
                   std::uint8_t slaveAddress)
{
    CModule module;
    module.moduleName = std::string(label);
    if (const CommandType* type = FindCommandType(label)) {
        module.picture = std::string(type->picture);
        // slave, function, start hi/lo, quantity hi/lo
        module.modulePrm = {
            slaveAddress,
            type->functionCode,
            static_cast<std::uint8_t>(startAddress >> 8),
            static_cast<std::uint8_t>(startAddress & 0xFF),
            static_cast<std::uint8_t>(quantity >> 8),
            static_cast<std::uint8_t>(quantity & 0xFF),
        };
        const std::int32_t length = DataLength(*type, quantity);
        (type->isWrite ? module.outputLen : module.inputLen) = length;
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

void PlaceModule(CVarnelDoc& doc, std::string_view label, std::uint16_t startAddress,
                 std::uint16_t quantity, std::uint8_t slaveAddress)
{
    SlotRef target{};
    if (!SelectionToSlot(doc.selectedSlot, target))
        return;
    if (target.index < 0 || target.index >= CVarnelDoc::RACK_SIZE)
        return;
    doc.Slot(target.port, target.index).module =
        MakeModule(label, startAddress, quantity, slaveAddress);
    const int lastUserCode = doc.deviceSlotNum + 3;
    const int code = target.port == Port::COM1 ? doc.selectedSlot
                                               : doc.selectedSlot - CVarnelDoc::COM2_HEAD;
    if (code != lastUserCode)
        ++doc.selectedSlot;
    doc.modified = true;
}

void SetupPort(CVarnelDoc& doc, Port port)
{
    const int head = port == Port::COM1 ? CVarnelDoc::COM1_HEAD : CVarnelDoc::COM2_HEAD;
    doc.Enabled(port) = 1;
    doc.selectedSlot = head + 1;
    PlaceModule(doc, MODULE_STATE, 0, 1, 0);
    doc.selectedSlot = head + 2;
    PlaceModule(doc, MODULE_CONTROL, 0, 1, 0);
    doc.selectedSlot = head + 3;
    PlaceModule(doc, MODULE_COMPRM, 0, 1, 0);
    doc.selectedSlot = head + 4;
    doc.modified = true;
}

bool ReadCommandFields(const CModule& module, CommandFields& fields)
{
    const auto& p = module.modulePrm;
    if (p.size() < 6)
        return false;
    fields.slaveAddress = p[0];
    fields.startAddress = static_cast<std::uint16_t>(p[2] << 8 | p[3]);
    fields.quantity = static_cast<std::uint16_t>(p[4] << 8 | p[5]);
    return true;
}

void ApplyCommandEdit(CModule& module, const CommandFields& fields)
{
    auto& p = module.modulePrm;
    if (p.size() < 6)
        return;
    p[0] = fields.slaveAddress;
    p[2] = static_cast<std::uint8_t>(fields.startAddress >> 8);
    p[3] = static_cast<std::uint8_t>(fields.startAddress & 0xFF);
    p[4] = static_cast<std::uint8_t>(fields.quantity >> 8);
    p[5] = static_cast<std::uint8_t>(fields.quantity & 0xFF);
    // The direction is kept: a zero length stays zero.
    if (module.inputLen != 0)
        module.inputLen = fields.quantity;
    if (module.outputLen != 0)
        module.outputLen = fields.quantity;
    const std::string_view name = module.moduleName;
    const bool registers = name == LABEL_WRITE_REGISTERS || name == LABEL_WRITE_REGISTER ||
                           name == LABEL_READ_HOLDING || name == LABEL_READ_INPUT_REGS;
    if (registers) {
        module.inputLen *= 2;
        module.outputLen *= 2;
    } else {
        if (module.inputLen != 0)
            module.inputLen = BitBytes(module.inputLen);
        if (module.outputLen != 0)
            module.outputLen = BitBytes(module.outputLen);
    }
}

}  // namespace varnel
