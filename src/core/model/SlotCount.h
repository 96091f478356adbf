#pragma once
// The slot-count rule: 1 to 54 user slots per port, digits only.
#include <string_view>
#include <vector>

#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

// The refusal text of a slot count outside 1..54 (dialog and project file).
inline constexpr const char* SLOT_COUNT_RANGE_TEXT = "槽数取值范围:1~54的正整数";

// True for a count the configuration can hold.
constexpr bool IsValidSlotCount(long count)
{
    return count >= 1 && count <= CVarnelDoc::MAX_USER_SLOTS;
}

// The count a slot-count text gives, or Code::BadSlotCount.
Result<int> CheckSlotCountText(std::string_view text);

// The occupied user slots of both ports that a count of `count` leaves out of
// the configuration: a project file then no longer holds their commands.
std::vector<SlotRef> CommandsBeyond(const CVarnelDoc& doc, int count);

}  // namespace varnel
