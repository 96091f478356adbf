#pragma once
// The first half of compile-and-download, shared by every front end: place
// the status tables, build the image and write the hex file. The image goes
// to the download as built; the hex file is not read back.
#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

// The image the download sends. Refuses with the compiler's refusal (nothing
// written, nothing to send), "文档格式错误" (ProjectFormat) for a module too
// short for what the compiler reads, or the hex file's write failure.
Result<Bytes> CompileForDownload(CVarnelDoc& doc);

// The gateway address of a document, parsed as every link connects to it;
// refused (BadAddress) when `deviceIp` is not a dotted address.
Result<std::uint32_t> GatewayAddress(const CVarnelDoc& doc);

}  // namespace varnel
