#include "core/view/DataRanges.h"

#include <algorithm>

namespace varnel {

namespace {
int LastIndex(const CVarnelDoc& doc)
{
    return std::min(doc.deviceSlotNum + 2, CVarnelDoc::RACK_SIZE - 1);
}
}  // namespace

Totals ComputeTotals(const CVarnelDoc& doc)
{
    Totals totals;
    for (Port port : {Port::COM1, Port::COM2}) {
        if (doc.Enabled(port) != 1)
            continue;
        for (int k = 3; k <= LastIndex(doc); ++k) {
            const CModule& m = doc.Slots(port)[static_cast<std::size_t>(k)].module;
            if (m.IsEmpty())
                continue;
            totals.allIn += m.inputLen;
            totals.allOut += m.outputLen;
        }
    }
    return totals;
}

PortRanges ComputePortRanges(const CVarnelDoc& doc, Port port)
{
    PortRanges ranges;
    const auto& rack = doc.Slots(port);
    std::int32_t inSum = 0;
    std::int32_t outSum = 0;
    for (int k = 0; k <= LastIndex(doc); ++k) {
        const CModule& m = rack[static_cast<std::size_t>(k)].module;
        if (m.IsEmpty())
            continue;
        inSum += m.inputLen;
        outSum += m.outputLen;
    }
    ranges.inLength = inSum - 1;
    ranges.outLength = outSum - 1;

    std::int32_t inOff = 2;
    std::int32_t outOff = 2;
    for (int k = 3; k <= LastIndex(doc); ++k) {
        const CModule& m = rack[static_cast<std::size_t>(k)].module;
        if (m.IsEmpty())
            continue;
        SlotRange slot;
        slot.index = k;
        // A hand-edited module may carry no parameter bytes: show slave 0.
        slot.slaveText = m.modulePrm.empty() ? 0 : m.modulePrm[0];
        const std::string ms = "MS #" + std::to_string(slot.slaveText);
        slot.direction = m.outputLen != 0 ? "eipOUT" : (m.inputLen != 0 ? "eipIN" : ms);
        if (m.inputLen != 0) {
            slot.hasRange = true;
            slot.first = inOff;
            slot.last = inOff + m.inputLen - 1;
            inOff += m.inputLen;
        }
        if (m.outputLen != 0) {
            slot.hasRange = true;
            slot.first = outOff;
            slot.last = outOff + m.outputLen - 1;
            outOff += m.outputLen;
        }
        ranges.slots.push_back(slot);
    }
    return ranges;
}

}  // namespace varnel
