#include "core/view/Selection.h"

#include <algorithm>

namespace varnel {

Result<SlotRef> SelectionToSlot(int code)
{
    if (code < COM1_HEAD) return Refuse(Code::NoSlotSelected, "没有选中的槽");
    if (code < COM2_HEAD) return SlotRef{Port::COM1, code - COM1_HEAD - 1};
    return SlotRef{Port::COM2, code - COM2_HEAD - 1};
}

int SlotToSelection(SlotRef ref)
{
    return HeadCode(ref.port) + ref.index + 1;
}

int NextSelection(const CVarnelDoc& doc, SlotRef placed)
{
    const int code = SlotToSelection(placed);
    return placed.index == doc.LastConfigIndex() ? code : code + 1;
}

int StepSelection(const CVarnelDoc& doc, int code, Step step)
{
    if (code < COM1_HEAD) return COM1_HEAD;
    int head = code < COM2_HEAD ? COM1_HEAD : COM2_HEAD;
    // Column 0 is the head, column c user slot c (code head + c + 3).
    int column = std::clamp(code - head - FIRST_USER_INDEX, 0, doc.deviceSlotNum);
    switch (step) {
        case Step::Left: column = std::max(0, column - 1); break;
        case Step::Right: column = std::min(doc.deviceSlotNum, column + 1); break;
        case Step::Up: head = COM1_HEAD; break;
        case Step::Down: head = COM2_HEAD; break;
    }
    return column == 0 ? head : head + column + FIRST_USER_INDEX;
}

}  // namespace varnel
