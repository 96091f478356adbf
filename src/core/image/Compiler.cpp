#include "core/image/Compiler.h"

#include <algorithm>
#include <stdexcept>

#include "core/image/Crc16.h"
#include "core/image/HexFile.h"
#include "core/modbus/StatusTable.h"

namespace varnel {

namespace {

// Step A for one port; false when the rack has no room after its last module.
bool PlaceStatusTable(CVarnelDoc& doc, Port port)
{
    auto& rack = doc.Slots(port);
    if (rack.empty()) return false;
    int last = -1;
    for (int i = 0; i < static_cast<int>(rack.size()); ++i)
        if (!rack[static_cast<std::size_t>(i)].IsEmpty()) last = i;
    const int lastIndex = static_cast<int>(rack.size()) - 1;
    if (last < 0 || last == lastIndex || last >= doc.deviceSlotNum + 2) return false;
    int target = last + 1;
    if (rack[static_cast<std::size_t>(last)].module.IsStatusTable()) target = last;
    // Byte 2 of the serial parameters is the monitoring choice; a module too
    // short to hold it is a broken document, not "no monitoring".
    const auto& serial = rack[2].module.modulePrm;
    if (serial.size() < 3)
        throw std::invalid_argument(std::string(PortName(port)) +
                                    " serial parameters: byte 2 outside " +
                                    std::to_string(serial.size()) + " bytes");
    const int choice = serial[2];
    CModule table = MakeStatusTableModule(choice);
    CModule& slot = rack[static_cast<std::size_t>(target)].module;
    if (slot.moduleName != table.moduleName) slot = table;
    return true;
}

void Append16(Bytes& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

}  // namespace

Status PlaceSlaveStatusModules(CVarnelDoc& doc)
{
    for (Port port : {Port::COM1, Port::COM2}) {
        if (doc.Enabled(port) != 1) continue;
        if (!PlaceStatusTable(doc, port))
            return Refuse(Code::StatusTableRefused, STATUS_SLOT_REFUSAL);
    }
    return {};
}

Bytes BuildImage(const CVarnelDoc& doc)
{
    Bytes image;
    const bool com1 = doc.com1Enabled == 1;
    const bool com2 = doc.com2Enabled == 1;
    image.push_back(static_cast<std::uint8_t>((com1 ? 1 : 0) | (com2 ? 2 : 0)));
    std::uint16_t inputTotal = 2;
    std::uint16_t outputTotal = 2;
    for (Port port : {Port::COM1, Port::COM2}) {
        if (doc.Enabled(port) != 1) continue;
        const auto& rack = doc.Slots(port);
        Bytes params;
        std::uint16_t sIn = 0;
        std::uint16_t sOut = 0;
        const int last = std::min(doc.deviceSlotNum + 2, CVarnelDoc::RACK_SIZE - 1);
        for (int i = 0; i <= last; ++i) {
            const CModule& m = rack[static_cast<std::size_t>(i)].module;
            if (m.IsEmpty()) continue;
            params.insert(params.end(), m.modulePrm.begin(), m.modulePrm.end());
            sIn = static_cast<std::uint16_t>(sIn + static_cast<std::uint32_t>(m.inputLen));
            sOut = static_cast<std::uint16_t>(sOut + static_cast<std::uint32_t>(m.outputLen));
        }
        Append16(image, static_cast<unsigned>(params.size()));
        image.insert(image.end(), params.begin(), params.end());
        const auto inLast = static_cast<std::uint16_t>(sIn - 1);
        const auto outLast = static_cast<std::uint16_t>(sOut - 1);
        Append16(image, inLast);
        Append16(image, outLast);
        inputTotal = static_cast<std::uint16_t>(inputTotal + inLast);
        outputTotal = static_cast<std::uint16_t>(outputTotal + outLast);
    }
    Append16(image, inputTotal);
    Append16(image, outputTotal);
    Append16(image, Crc16Modbus(image.data(), image.size()));
    return image;
}

Status CheckImageLimits(const CVarnelDoc& doc)
{
    for (Port port : {Port::COM1, Port::COM2}) {
        if (doc.Enabled(port) != 1) continue;
        std::size_t length = 0;
        const int last = std::min(doc.deviceSlotNum + 2, CVarnelDoc::RACK_SIZE - 1);
        for (int i = 0; i <= last; ++i) {
            const CModule& m = doc.Slots(port)[static_cast<std::size_t>(i)].module;
            if (!m.IsEmpty()) length += m.modulePrm.size();
        }
        if (length > 0xFFFF)
            return Refuse(Code::ImageLimits, std::string(PortName(port)) + " 的模块参数共 " +
                                                 std::to_string(length) +
                                                 " 字节，超过配置映像的上限 65535 字节");
    }
    return {};
}

Result<Bytes> CompileImage(CVarnelDoc& doc)
{
    if (Status placed = PlaceSlaveStatusModules(doc); !placed) return placed.error();
    if (Status limits = CheckImageLimits(doc); !limits) return limits.error();
    return BuildImage(doc);
}

Result<Bytes> Compile(CVarnelDoc& doc, const std::string& hexPath)
{
    Result<Bytes> image = CompileImage(doc);
    if (!image) return image;
    if (Status written = WriteHexFile(hexPath, *image); !written) return written.error();
    return image;
}

}  // namespace varnel
