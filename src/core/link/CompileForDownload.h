#pragma once
// The first half of compile-and-download, shared by every front end: place
// the status tables, build the image, write the hex file, and read the image
// back from that file as the download takes it.
#include "core/model/CVarnelDoc.h"
#include "core/model/Message.h"

namespace varnel {

// On success `image` holds what the download sends. Refuses with the
// compiler's message (nothing written, nothing to send) or, when the hex file
// cannot be read back, with "你选择了下载空文件".
LegacyRefusal CompileForDownload(CVarnelDoc& doc, Bytes& image);

}  // namespace varnel
