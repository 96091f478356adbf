#pragma once
// The numbers the gateway picture shows: the totals of the title line, each
// port's last input and output offsets, and every occupied user slot's
// EtherNet/IP data range.
#include <cstdint>
#include <string>
#include <vector>

#include "core/model/CVarnelDoc.h"

namespace varnel {

struct SlotRange {
    int index = 0;          // rack index (user slot k is index k + 2)
    int slaveText = 0;      // what "MS #%d" shows: parameter byte 0, or 0 without bytes
    std::string direction;  // "eipOUT", "eipIN" or the "MS #%d" text again
    bool hasRange = false;  // false: only ". . ." is shown
    std::int32_t first = 0;
    std::int32_t last = 0;
};

struct PortRanges {
    std::int32_t inLength = 0;   // sum of inputLen over occupied entries 0..n+2, minus 1
    std::int32_t outLength = 0;  // the same for outputLen
    std::vector<SlotRange> slots;
};

struct Totals {
    std::int32_t allIn = 2;
    std::int32_t allOut = 2;
};

// Title line totals: 2 plus the user slots' lengths over the enabled ports.
Totals ComputeTotals(const CVarnelDoc& doc);

// A port's lengths and ranges; offsets start at 2 for each port and both
// advance for a slot with both lengths, whose output range is shown.
PortRanges ComputePortRanges(const CVarnelDoc& doc, Port port);

}  // namespace varnel
