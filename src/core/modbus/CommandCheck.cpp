#include "core/modbus/CommandCheck.h"

#include "core/modbus/CommandType.h"

namespace varnel {

bool IsDecimalInRange(std::string_view text, long min, long max)
{
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > max)
            return false;  // also keeps long texts from overflowing
    }
    return value >= min && value <= max;
}

namespace {

long DecimalValue(std::string_view text)
{
    long value = 0;
    for (char c : text)
        value = value * 10 + (c - '0');
    return value;
}

enum class WriteGroup { None, Coils, Registers };

WriteGroup GroupOf(std::string_view label)
{
    if (label == LABEL_WRITE_COILS || label == LABEL_WRITE_COIL)
        return WriteGroup::Coils;
    if (label == LABEL_WRITE_REGISTER || label == LABEL_WRITE_REGISTERS)
        return WriteGroup::Registers;
    return WriteGroup::None;
}

}  // namespace

bool IsWriteOverlap(const CVarnelDoc& doc, std::string_view label, const CommandFields& fields)
{
    const WriteGroup group = GroupOf(label);
    if (group == WriteGroup::None)
        return false;
    const bool com1 = doc.selectedSlot <= CVarnelDoc::COM2_HEAD;
    const auto& rack = com1 ? doc.com1Slots : doc.com2Slots;
    const int own = com1 ? doc.selectedSlot - 1 : doc.selectedSlot - CVarnelDoc::COM2_HEAD - 1;
    const std::int32_t s = fields.startAddress;
    const std::int32_t e = s + fields.quantity - 1;
    for (int i = 3; i <= doc.deviceSlotNum + 2 && i < CVarnelDoc::RACK_SIZE; ++i) {
        if (i == own)
            continue;
        const CModule& m = rack[static_cast<std::size_t>(i)].module;
        if (m.moduleName.empty() || m.modulePrm.empty())
            continue;
        if (m.modulePrm[0] != fields.slaveAddress)
            continue;
        if (GroupOf(m.moduleName) != group || m.modulePrm.size() < 6)
            continue;
        const std::int32_t s2 = m.modulePrm[2] << 8 | m.modulePrm[3];
        const std::int32_t q2 = m.modulePrm[4] << 8 | m.modulePrm[5];
        const std::int32_t e2 = s2 + q2 - 1;
        if ((s2 <= s && s <= e2) || (s2 <= e && e <= e2) || (s <= s2 && s2 <= e))
            return true;
    }
    return false;
}

LegacyRefusal CheckCommand(const CVarnelDoc& doc, std::string_view label, std::string_view startText,
                     std::string_view slaveText, std::string_view quantityText,
                     CommandFields& fields)
{
    if (!IsDecimalInRange(startText, 0, 65535))
        return ErrorMessage("起始地址信息错误", "起始地址取值范围:1-65535");
    fields.startAddress = static_cast<std::uint16_t>(DecimalValue(startText));

    if (!IsDecimalInRange(slaveText, 0, 255))
        return ErrorMessage("从站地址地址信息错误", "从站地址取值范围:0-255");
    fields.slaveAddress = static_cast<std::uint8_t>(DecimalValue(slaveText));

    if (!IsDecimalInRange(quantityText, 1, 2000))
        return ErrorMessage("长度信息错误", "长度取值范围:1-125");
    fields.quantity = static_cast<std::uint16_t>(DecimalValue(quantityText));

    const int q = fields.quantity;
    if (q != 1 && (label == LABEL_WRITE_REGISTER || label == LABEL_WRITE_COIL))
        return ErrorMessage("长度请添入1");
    if ((q == 0 || q > 2000) && (label == LABEL_READ_INPUTS || label == LABEL_READ_COILS))
        return ErrorMessage("长度请添入一个1和2000之间的整数");
    if ((q == 0 || q > 125) && (label == LABEL_READ_HOLDING || label == LABEL_READ_INPUT_REGS))
        return ErrorMessage("长度请添入一个1和125之间的整数");
    if ((q == 0 || q > 1968) && label == LABEL_WRITE_COILS)
        return ErrorMessage("长度请添入一个1和1968之间的整数");
    if ((q == 0 || q > 123) && label == LABEL_WRITE_REGISTERS)
        return ErrorMessage("长度请添入一个1和123之间的整数");
    if (IsWriteOverlap(doc, label, fields))
        return ErrorMessage("写操作重叠");
    return std::nullopt;
}

}  // namespace varnel
