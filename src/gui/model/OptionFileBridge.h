#pragma once
// Where the access dialog's OK writes the address to the option file. A
// stand-in until the option file writer with the XML engine lands in core;
// switching over touches only this function's body.
#include "core/model/CVarnelDoc.h"
#include "core/model/Message.h"

namespace varnel {

// Sets the text of ETHOption/ip in the option file to `doc.deviceIp`, leaving
// the rest of the file as it was. A missing or unusable file is written anew
// with just that structure, so the address is never lost.
Refusal WriteAccessAddress(const CVarnelDoc& doc);

}  // namespace varnel
