#include "core/modbus/CommandCheck.h"

#include "core/modbus/CommandType.h"

namespace varnel {

bool IsDecimalInRange(std::string_view text, long min, long max)
{
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > max) return false;  // also keeps long texts from overflowing
    }
    return value >= min && value <= max;
}

namespace {

long DecimalValue(std::string_view text)
{
    long value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

Refusal CommandRefusal(std::string text, std::string caption = "错误")
{
    return Refuse(Code::CommandRefused, std::move(text), std::move(caption));
}

// The quantity limit of the command type: exactly 1, or 1 to its maximum.
Status CheckQuantityOfType(std::string_view label, int quantity)
{
    const CommandType* type = FindCommandType(label);
    if (type == nullptr) return {};
    if (type->maxQuantity == 1) return quantity == 1 ? Status{} : CommandRefusal("长度请添入1");
    if (quantity == 0 || quantity > type->maxQuantity)
        return CommandRefusal("长度请添入一个1和" + std::to_string(type->maxQuantity) +
                              "之间的整数");
    return {};
}

}  // namespace

bool IsWriteOverlap(const CVarnelDoc& doc, SlotRef own, std::string_view label,
                    const CommandFields& fields)
{
    const WriteGroup group = WriteGroupOf(label);
    if (group == WriteGroup::None) return false;
    const auto& rack = doc.Slots(own.port);
    const std::int32_t s = fields.startAddress;
    const std::int32_t e = s + fields.quantity - 1;
    for (int i = FIRST_USER_INDEX; i <= doc.LastConfigIndex() && i < CVarnelDoc::RACK_SIZE; ++i) {
        const CModule& m = rack[static_cast<std::size_t>(i)].module;
        if (i == own.index || m.IsEmpty() || m.modulePrm.empty()) continue;
        if (m.modulePrm[0] != fields.slaveAddress || WriteGroupOf(m.moduleName) != group) continue;
        const auto other = DecodeCommand(m.modulePrm);
        if (!other) continue;
        const std::int32_t s2 = other->fields.startAddress;
        const std::int32_t e2 = s2 + other->fields.quantity - 1;
        if ((s2 <= s && s <= e2) || (s2 <= e && e <= e2) || (s <= s2 && s2 <= e)) return true;
    }
    return false;
}

Status CheckCommand(const CVarnelDoc& doc, SlotRef own, std::string_view label,
                    std::string_view startText, std::string_view slaveText,
                    std::string_view quantityText, CommandFields& fields)
{
    if (!IsDecimalInRange(startText, 0, 65535))
        return CommandRefusal("起始地址信息错误", "起始地址取值范围:1-65535");
    fields.startAddress = static_cast<std::uint16_t>(DecimalValue(startText));

    if (!IsDecimalInRange(slaveText, 0, 255))
        return CommandRefusal("从站地址地址信息错误", "从站地址取值范围:0-255");
    fields.slaveAddress = static_cast<std::uint8_t>(DecimalValue(slaveText));

    if (!IsDecimalInRange(quantityText, 1, 2000))
        return CommandRefusal("长度信息错误", "长度取值范围:1-125");
    fields.quantity = static_cast<std::uint16_t>(DecimalValue(quantityText));

    if (Status quantity = CheckQuantityOfType(label, fields.quantity); !quantity) return quantity;
    if (IsWriteOverlap(doc, own, label, fields)) return Refuse(Code::WriteOverlap, "写操作重叠");
    return {};
}

}  // namespace varnel
