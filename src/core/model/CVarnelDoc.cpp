#include "core/model/CVarnelDoc.h"

#include <stdexcept>

#include "core/model/AppFolder.h"
#include "core/model/OptionFile.h"

namespace varnel {

CVarnelDoc::CVarnelDoc() : appFolder(ProgramDataFolder()) {}

bool CVarnelDoc::OnNewDocument()
{
    deviceIp = "192.168.1.10";
    deviceSlotNum = 10;
    com1Enabled = 0;
    com2Enabled = 0;
    for (auto& slot : com1Slots)
        slot.module = CModule{};
    for (auto& slot : com2Slots)
        slot.module = CModule{};
    appFolder = ProgramDataFolder();
    ReadAccessAddress(*this);
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

bool SelectionToSlot(int selectedSlot, SlotRef& out)
{
    if (selectedSlot > CVarnelDoc::COM1_HEAD && selectedSlot < CVarnelDoc::COM2_HEAD) {
        out = {Port::COM1, selectedSlot - 1};
        return true;
    }
    if (selectedSlot > CVarnelDoc::COM2_HEAD) {
        out = {Port::COM2, selectedSlot - CVarnelDoc::COM2_HEAD - 1};
        return true;
    }
    return false;
}

int SlotToSelection(Port port, int index)
{
    return (port == Port::COM1 ? CVarnelDoc::COM1_HEAD : CVarnelDoc::COM2_HEAD) + index + 1;
}

}  // namespace varnel
