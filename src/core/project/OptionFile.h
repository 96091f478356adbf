#pragma once
// The option file IP/ETHOption.xml in the program's data folder: it remembers
// the gateway's access address from one run to the next. Its structure is a
// top-level "ETHOption" element holding an "ip" element with dotted text.
#include <string>

#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

// Sets doc.deviceIp from the option file of doc.appFolder. A missing or
// unreadable file, or a missing element, gives empty text: the file always
// decides, never the built-in default.
void ReadAccessAddress(CVarnelDoc& doc);

// What the access-parameter dialog's OK writes: only the text of "ip" changes.
// A file (or folder) that is missing, empty or lacks ETHOption or its "ip"
// gets the missing elements, so the next new document takes the address.
// The write is atomic; a refusal carries WriteFileAtomically's codes.
Status WriteAccessAddress(const std::string& appFolder, const std::string& ip);

// The option file's path for a data folder.
std::string OptionFilePath(const std::string& appFolder);

}  // namespace varnel
