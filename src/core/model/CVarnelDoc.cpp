#include "core/model/CVarnelDoc.h"

#include <stdexcept>

namespace varnel {

bool CVarnelDoc::OnNewDocument()
{
    deviceIp = "192.168.1.10";
    deviceSlotNum = 10;
    com1Enabled = 0;
    com2Enabled = 0;
    for (auto& slot : com1Slots) slot.module = CModule{};
    for (auto& slot : com2Slots) slot.module = CModule{};
    modified = false;
    return true;
}

CSlot& CVarnelDoc::Slot(Port port, int index)
{
    if (index < 0 || index >= RACK_SIZE)
        throw std::invalid_argument("slot index out of range: " + std::to_string(index));
    return Slots(port)[static_cast<std::size_t>(index)];
}

const CSlot& CVarnelDoc::Slot(Port port, int index) const
{
    if (index < 0 || index >= RACK_SIZE)
        throw std::invalid_argument("slot index out of range: " + std::to_string(index));
    return Slots(port)[static_cast<std::size_t>(index)];
}

}  // namespace varnel
