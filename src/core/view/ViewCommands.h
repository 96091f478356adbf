#pragma once
// The device view's delete: a port head removes the port's whole master, a
// slot is emptied.
#include "core/model/CVarnelDoc.h"

namespace varnel {

// True when a right click on `target` offers "删除": an occupied slot of an
// enabled port, or the head of an enabled port.
bool OffersDelete(const CVarnelDoc& doc, SlotRef target);

// Deletes what `target` names: a head disables the port and empties all 57
// entries of its rack, a slot is emptied.
void DeleteSelected(CVarnelDoc& doc, SlotRef target);

}  // namespace varnel
