// Any bytes, as a hex file or a downloaded image, decode without a crash
// and either hold together or name their problems; the gateway's piece
// handling never fails on them either.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/image/HexFile.h"
#include "core/image/ImageDecoder.h"
#include "core/link/DeviceFrames.h"
#include "gateway/GatewayDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const varnel::Bytes raw(data, data + size);
    const auto decoded = varnel::DecodeImage(raw);
    (void)varnel::DescribeImage(decoded);
    const auto fromText = varnel::DecodeImage(
        varnel::ParseHexText(std::string_view(reinterpret_cast<const char*>(data), size)));
    (void)varnel::DescribeImage(fromText);
    varnel::GatewayDevice gateway;
    gateway.OnConnection();
    (void)gateway.OnRequest(data, size);
    (void)gateway.Restart();
    return 0;
}
