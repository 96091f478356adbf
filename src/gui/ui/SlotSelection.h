#pragma once
// The selection the device view, the catalogue and the command editor share:
// a selection code (core/view/Selection.h). The main frame owns it beside the
// document, which holds only the configuration.
#include "core/view/Selection.h"

namespace varnel {

struct SlotSelection {
    int code = NO_SELECTION;
};

}  // namespace varnel
