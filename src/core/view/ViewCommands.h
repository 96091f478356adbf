#pragma once
// The device view's delete: a port head removes the port's whole master, a
// slot is emptied.
#include "core/model/CVarnelDoc.h"

namespace varnel {

// True when a right click on the current selection offers "删除": an occupied
// slot of an enabled port, or the head of an enabled port.
bool OffersDelete(const CVarnelDoc& doc);

// Deletes what the selection names; the selection keeps its value.
void DeleteSelected(CVarnelDoc& doc);

}  // namespace varnel
