#include "core/model/SlotCount.h"

#include <algorithm>

namespace varnel {

Result<int> CheckSlotCountText(std::string_view text)
{
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > 1000)  // stop far out of range, before overflow
            return Refuse(Code::BadSlotCount, SLOT_COUNT_RANGE_TEXT);
        value = value * 10 + (c - '0');
    }
    if (!IsValidSlotCount(value)) return Refuse(Code::BadSlotCount, SLOT_COUNT_RANGE_TEXT);
    return static_cast<int>(value);
}

std::vector<SlotRef> CommandsBeyond(const CVarnelDoc& doc, int count)
{
    std::vector<SlotRef> lost;
    const int last = std::min(doc.LastConfigIndex(), CVarnelDoc::RACK_SIZE - 1);
    for (Port port : {Port::COM1, Port::COM2})
        for (int index = UserSlotIndex(count + 1); index <= last; ++index)
            if (!doc.Slot(port, index).IsEmpty()) lost.push_back({port, index});
    return lost;
}

}  // namespace varnel
