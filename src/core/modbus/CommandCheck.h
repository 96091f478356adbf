#pragma once
// The command editor's checks, run in order on OK; the first failure is the
// message the editor shows, and it stays open.
#include <string_view>

#include "core/modbus/ModbusMaster.h"
#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

// True when every character is a decimal digit and the value lies in
// [min, max]. The empty text has the value 0.
bool IsDecimalInRange(std::string_view text, long min, long max);

// Runs the checks of the command editor on the edit texts for a command that
// goes into slot `own` (skipped by the overlap check). Fields that pass their
// check are stored in `fields` even when a later check fails. Refusals carry
// Code::CommandRefused, or Code::WriteOverlap for "写操作重叠".
Status CheckCommand(const CVarnelDoc& doc, SlotRef own, std::string_view label,
                    std::string_view startText, std::string_view slaveText,
                    std::string_view quantityText, CommandFields& fields);

// True when a coil or register write would overlap another write of the same
// group to the same slave on the port of `own` (`own` itself excluded).
bool IsWriteOverlap(const CVarnelDoc& doc, SlotRef own, std::string_view label,
                    const CommandFields& fields);

}  // namespace varnel
