// Any bytes, as a downloaded image or as hex text: the decoder never accepts
// an image whose checksum fails, and an image it accepts is rebuilt byte for
// byte by the compiler from what the decoder read (the modules of each port
// in slot order). The gateway's piece handling never fails on them either.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/image/Compiler.h"
#include "core/image/Crc16.h"
#include "core/image/HexFile.h"
#include "core/image/ImageDecoder.h"
#include "gateway/GatewayDevice.h"

using namespace varnel;

namespace {

#define Check(condition) ((condition) ? void() : std::abort())

// The document the decoded image describes, every slot in use counted.
CVarnelDoc Rebuild(const DecodedImage& decoded)
{
    CVarnelDoc doc;
    doc.deviceSlotNum = CVarnelDoc::MAX_USER_SLOTS;
    for (const DecodedPort& port : decoded.ports) {
        doc.Enabled(port.port) = 1;
        const auto modules = port.Modules();
        Check(modules.size() <= CVarnelDoc::RACK_SIZE);
        for (std::size_t i = 0; i < modules.size(); ++i)
            doc.Slot(port.port, static_cast<int>(i)).module = modules[i];
    }
    return doc;
}

void CheckDecoded(const Bytes& image)
{
    const DecodedImage decoded = DecodeImage(image);
    (void)DescribeImage(decoded);
    Check(decoded.Valid() == CheckImage(image).ok());
    if (!decoded.Valid()) return;
    const std::size_t body = image.size() - 2;
    Check(Crc16Modbus(image.data(), body) == (image[body] << 8 | image[body + 1]));
    Check(BuildImage(Rebuild(decoded)) == image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Bytes raw(data, data + size);
    CheckDecoded(raw);
    CheckDecoded(ParseHexText(std::string_view(reinterpret_cast<const char*>(data), size)));
    GatewayDevice gateway;
    gateway.OnConnection();
    (void)gateway.OnRequest(data, size);
    (void)gateway.Restart();
    return 0;
}
