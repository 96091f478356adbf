#pragma once
// A lossless JSON form of the document, for scripts and review:
//   {"deviceIp": "...", "deviceSlotNum": 10, "com1Enabled": 0, "com2Enabled": 0,
//    "com1": [MODULE, ...], "com2": [MODULE, ...]}
// MODULE = {"moduleName", "usrPrm", "Ext_Module_Prm_Data_Len", "picture",
//           "inputLen", "outputLen", "modulePrm": "0a01ff"}.
#include <string>
#include <string_view>

#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

// All 57 entries of each rack, texts as UTF-8, bytes as lower-case hex.
std::string ExportJson(const CVarnelDoc& doc);

// Reads the JSON form into `doc`. Racks may list 0 to 57 entries (missing ones
// are empty). Refuses (JsonInvalid) bad syntax in one sentence, and with a
// message naming the field a missing key, a wrong type, too many entries, a
// slot count outside 1-54, a bad modulePrm, lengths outside 0-65535 and a
// command module whose bytes or lengths break its command type. On a refusal
// the document is unchanged. The selection and appFolder are kept.
Status ImportJson(std::string_view text, CVarnelDoc& doc);

}  // namespace varnel
