#include "core/view/DataRanges.h"

#include <algorithm>

namespace varnel {

namespace {
int LastIndex(const CVarnelDoc& doc)
{
    return std::min(doc.LastConfigIndex(), CVarnelDoc::RACK_SIZE - 1);
}

// Calls `visit(index, module)` for each occupied entry `from`..the last one of
// the configuration.
template <typename Visit>
void ForOccupied(const CVarnelDoc& doc, Port port, int from, Visit visit)
{
    for (int k = from; k <= LastIndex(doc); ++k)
        if (const CModule& m = doc.Slots(port)[static_cast<std::size_t>(k)].module; !m.IsEmpty())
            visit(k, m);
}
}  // namespace

Totals ComputeTotals(const CVarnelDoc& doc)
{
    Totals totals;
    for (Port port : {Port::COM1, Port::COM2}) {
        if (doc.Enabled(port) != 1) continue;
        ForOccupied(doc, port, FIRST_USER_INDEX, [&totals](int, const CModule& m) {
            totals.allIn += m.inputLen;
            totals.allOut += m.outputLen;
        });
    }
    return totals;
}

PortRanges ComputePortRanges(const CVarnelDoc& doc, Port port)
{
    PortRanges ranges;
    ranges.inLength = -1;
    ranges.outLength = -1;
    ForOccupied(doc, port, STATE_INDEX, [&ranges](int, const CModule& m) {
        ranges.inLength += m.inputLen;
        ranges.outLength += m.outputLen;
    });

    std::int32_t inOff = 2;
    std::int32_t outOff = 2;
    ForOccupied(doc, port, FIRST_USER_INDEX, [&](int k, const CModule& m) {
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
    });
    return ranges;
}

}  // namespace varnel
