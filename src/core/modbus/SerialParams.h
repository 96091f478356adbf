#pragma once
// The serial line settings of a port, held in bytes 0-4 of its COMPRM
// module, shown as seven lists of choices.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The seven lists in dialog order, each with its label and item texts.
struct SerialList {
    std::string_view label;
    std::vector<std::string_view> items;
};
enum SerialListId { BAUD, FORMAT, MONITOR, TIMER, UPDATE, WRITE_MODE, TIMER_MODE, LIST_COUNT };
const std::array<SerialList, LIST_COUNT>& SerialLists();

// Timer values in units of 10 ms, index for index with the timer list.
const std::array<std::uint8_t, 27>& TimerValueTable();
// The timer item shown for a byte that is not in the table ("650ms").
inline constexpr int TIMER_FALLBACK_INDEX = 19;

// The list selection of each list; NO_CHOICE where the stored byte lies
// outside the list (e.g. baud byte 0): storing then keeps the stored bits.
inline constexpr int NO_CHOICE = -1;
struct SerialChoices {
    std::array<int, LIST_COUNT> index{};

    bool operator==(const SerialChoices&) const = default;
};

// Opens five parameter bytes into list selections.
SerialChoices OpenSerialParams(std::span<const std::uint8_t, 5> comPrm);

// Writes selections back into the five bytes. Bits 2-5 of byte 3 are
// cleared; a list without a selection keeps what the byte held for it.
void StoreSerialParams(const SerialChoices& choices, std::span<std::uint8_t, 5> comPrm);

// Finds an item by its text or by its 0-based index written in decimal;
// returns NO_CHOICE when neither matches.
int FindSerialItem(SerialListId list, std::string_view textOrIndex);

// One line per list, "label item", for readable output.
std::string DescribeSerialParams(std::span<const std::uint8_t, 5> comPrm);

}  // namespace varnel
