#include "core/view/ViewCommands.h"

namespace varnel {

bool OffersDelete(const CVarnelDoc& doc)
{
    const int code = doc.selectedSlot;
    if (code == CVarnelDoc::COM1_HEAD)
        return doc.com1Enabled == 1;
    if (code == CVarnelDoc::COM2_HEAD)
        return doc.com2Enabled == 1;
    SlotRef ref{};
    if (!SelectionToSlot(code, ref) || ref.index >= CVarnelDoc::RACK_SIZE)
        return false;
    return doc.Enabled(ref.port) == 1 && !doc.Slot(ref.port, ref.index).IsEmpty();
}

void DeleteSelected(CVarnelDoc& doc)
{
    const int code = doc.selectedSlot;
    if (code == CVarnelDoc::COM1_HEAD || code == CVarnelDoc::COM2_HEAD) {
        const Port port = code == CVarnelDoc::COM1_HEAD ? Port::COM1 : Port::COM2;
        doc.Enabled(port) = 0;
        for (auto& slot : doc.Slots(port))
            slot.module = CModule{};
    } else {
        SlotRef ref{};
        if (SelectionToSlot(code, ref) && ref.index < CVarnelDoc::RACK_SIZE)
            doc.Slot(ref.port, ref.index).module = CModule{};
    }
    doc.modified = true;
}

}  // namespace varnel
