#include "core/view/Selection.h"

namespace varnel {

Result<SlotRef> SelectionToSlot(int code)
{
    if (code < COM1_HEAD)
        return Refuse(Code::NoSlotSelected, "没有选中的槽");
    if (code < COM2_HEAD)
        return SlotRef{Port::COM1, code - COM1_HEAD - 1};
    return SlotRef{Port::COM2, code - COM2_HEAD - 1};
}

int SlotToSelection(SlotRef ref) { return HeadCode(ref.port) + ref.index + 1; }

int NextSelection(const CVarnelDoc& doc, SlotRef placed)
{
    const int code = SlotToSelection(placed);
    return placed.index == doc.LastConfigIndex() ? code : code + 1;
}

}  // namespace varnel
