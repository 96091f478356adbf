#include "core/link/CompileForDownload.h"

#include "core/image/Compiler.h"
#include "core/link/DownloadSession.h"

namespace varnel {

LegacyRefusal CompileForDownload(CVarnelDoc& doc, Bytes& image)
{
    const std::string hexPath = doc.HexFilePath();
    CompileResult compiled = Compile(doc, hexPath);
    if (compiled.message)
        return compiled.message;
    return DownloadSession::ReadImage(hexPath, image);
}

}  // namespace varnel
