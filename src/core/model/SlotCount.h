#pragma once
// The slot-count rule: 1 to 54 user slots per port, digits only.
#include <string_view>

#include "core/model/Message.h"

namespace varnel {

// Checks the slot-count text; on success stores its value in `count`.
LegacyRefusal CheckSlotCountText(std::string_view text, int& count);

}  // namespace varnel
