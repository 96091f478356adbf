#include "core/link/CompileForDownload.h"

#include "core/image/Compiler.h"
#include "core/util/Ipv4.h"

namespace varnel {

Result<Bytes> CompileForDownload(CVarnelDoc& doc)
{
    return RefuseBadDocument([&] { return Compile(doc, doc.HexFilePath()); });
}

Result<std::uint32_t> GatewayAddress(const CVarnelDoc& doc)
{
    if (const auto address = ParseIpv4(doc.deviceIp)) return *address;
    return Refuse(Code::BadAddress, "设备IP地址错误: \"" + doc.deviceIp + "\"");
}

}  // namespace varnel
