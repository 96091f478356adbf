#pragma once
// The selection codes the device view, the catalogue and the editors share.
// The document does not hold the selection: the view's owner does.
//   -1 nothing; 0 the COM1 head; 1..999 COM1 index code - 1;
//   1000 the COM2 head; 1001 and up COM2 index code - 1001.
#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

inline constexpr int NO_SELECTION = -1;
inline constexpr int COM1_HEAD = 0;
inline constexpr int COM2_HEAD = 1000;

// The code of a port head.
constexpr int HeadCode(Port port)
{
    return port == Port::COM1 ? COM1_HEAD : COM2_HEAD;
}

// The place a code names (a head gives SlotRef::PORT_HEAD); Code::NoSlotSelected
// for -1 and other negative codes.
Result<SlotRef> SelectionToSlot(int code);
// The code of a place (PORT_HEAD gives the head's code).
int SlotToSelection(SlotRef ref);

// The code after a command was placed at `placed`: the next slot, except on
// the last user slot, where the selection stays.
int NextSelection(const CVarnelDoc& doc, SlotRef placed);

// The arrow keys in the device view.
enum class Step { Left, Right, Up, Down };

// The code after an arrow key: Left and Right walk a rack from its head
// through user slots 1 .. n and stop at either end; Up and Down go to the same
// place of COM1 or COM2. The fixed entries count as the head, a code beyond
// the slot count as the last slot; from nothing every key selects the COM1 head.
int StepSelection(const CVarnelDoc& doc, int code, Step step);

}  // namespace varnel
