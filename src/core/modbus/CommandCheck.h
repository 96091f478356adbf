#pragma once
// The command editor's checks, run in order on OK; the first failure is the
// message the editor shows, and it stays open.
#include <string_view>

#include "core/model/CVarnelDoc.h"
#include "core/model/Message.h"
#include "core/modbus/ModbusMaster.h"

namespace varnel {

// True when every character is a decimal digit and the value lies in
// [min, max]. The empty text has the value 0.
bool IsDecimalInRange(std::string_view text, long min, long max);

// Runs the ten checks of the command editor on the edit texts. Fields that
// pass their check are stored in `fields` even when a later check fails.
// The overlap check reads the document's selection to find the port and the
// slot being replaced.
LegacyRefusal CheckCommand(const CVarnelDoc& doc, std::string_view label, std::string_view startText,
                     std::string_view slaveText, std::string_view quantityText,
                     CommandFields& fields);

// True when a coil or register write would overlap another write of the same
// group to the same slave on the selected port (the selected slot excluded).
bool IsWriteOverlap(const CVarnelDoc& doc, std::string_view label, const CommandFields& fields);

}  // namespace varnel
