#pragma once
// Pointing at the gateway picture: which selection code a point names, and
// which editor a double-click there opens. Points are in picture units (the
// caller adds the scroll position to the mouse position).
#include "core/model/CVarnelDoc.h"
#include "core/view/Selection.h"

namespace varnel {

// The selection code at (x, y): a port head (0, 1000), a user slot of COM1
// (4 .. n+3) or COM2 (1004 .. n+1003), or -1. Rectangles are half-open, so a
// point on a shared edge belongs to the rectangle right of or below it. Port
// flags and slot contents are not consulted.
int HitTest(const CVarnelDoc& doc, int x, int y);

// What a double-click at a point edits.
struct EditTarget {
    enum class Kind {
        None,          // nothing to edit
        SerialParams,  // the port's COMPRM module (rack index 2)
        Command,       // a command module in a user slot
        UserParams,    // a slave-status table's parameter bytes
    };
    Kind kind = Kind::None;
    Port port = Port::COM1;
    int index = 0;        // rack index of the module
    bool repaint = true;  // false when the handling ends before the repaint
};

// The editor for a double-click at (x, y): the serial parameters of an enabled
// port's head, or the command or status-table editor of an occupied user slot
// of an enabled port. A status table without bytes, or serial parameters with
// fewer than five bytes, open nothing and skip the repaint.
EditTarget DoubleClickTarget(const CVarnelDoc& doc, int x, int y);

}  // namespace varnel
