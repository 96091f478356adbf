#include "core/model/SlotCount.h"

namespace varnel {

LegacyRefusal CheckSlotCountText(std::string_view text, int& count)
{
    long value = 0;
    bool valid = true;
    for (char c : text) {
        if (c < '0' || c > '9') {
            valid = false;
            break;
        }
        value = value * 10 + (c - '0');
        if (value > 1000) {
            valid = false;  // far out of range: stop before it can overflow
            break;
        }
    }
    if (!valid || value < 1 || value > 54)
        return ErrorMessage("槽数取值范围:1~54的正整数");
    count = static_cast<int>(value);
    return std::nullopt;
}

}  // namespace varnel
