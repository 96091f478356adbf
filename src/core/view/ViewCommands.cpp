#include "core/view/ViewCommands.h"

namespace varnel {

bool OffersDelete(const CVarnelDoc& doc, SlotRef target)
{
    if (doc.Enabled(target.port) != 1) return false;
    if (target.IsHead()) return true;
    return target.InRack() && !doc.Slot(target.port, target.index).IsEmpty();
}

void DeleteSelected(CVarnelDoc& doc, SlotRef target)
{
    if (target.IsHead()) {
        doc.Enabled(target.port) = 0;
        for (auto& slot : doc.Slots(target.port)) slot.module = CModule{};
    } else if (target.InRack()) {
        doc.Slot(target.port, target.index).module = CModule{};
    }
    doc.modified = true;
}

}  // namespace varnel
