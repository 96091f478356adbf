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
    if (rack.empty())
        return false;
    int last = -1;
    for (int i = 0; i < static_cast<int>(rack.size()); ++i)
        if (!rack[static_cast<std::size_t>(i)].IsEmpty())
            last = i;
    const int lastIndex = static_cast<int>(rack.size()) - 1;
    if (last < 0 || last == lastIndex || last >= doc.deviceSlotNum + 2)
        return false;
    int target = last + 1;
    if (rack[static_cast<std::size_t>(last)].module.IsStatusTable())
        target = last;
    const auto& serial = rack[2].module.modulePrm;
    // Byte 2 chooses the table; a shorter array is the invalid-argument error.
    if (serial.size() < 3) throw std::invalid_argument("serial parameters shorter than 3 bytes");
    const int choice = serial[2];
    CModule table = MakeStatusTableModule(choice);
    CModule& slot = rack[static_cast<std::size_t>(target)].module;
    if (slot.moduleName != table.moduleName)
        slot = table;
    return true;
}

void Append16(Bytes& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

}  // namespace

LegacyRefusal PlaceSlaveStatusModules(CVarnelDoc& doc)
{
    for (Port port : {Port::COM1, Port::COM2}) {
        if (doc.Enabled(port) != 1)
            continue;
        if (!PlaceStatusTable(doc, port))
            return ErrorMessage(STATUS_SLOT_REFUSAL);
    }
    return std::nullopt;
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
        if (doc.Enabled(port) != 1)
            continue;
        const auto& rack = doc.Slots(port);
        Bytes params;
        std::uint16_t sIn = 0;
        std::uint16_t sOut = 0;
        const int last = std::min(doc.deviceSlotNum + 2, CVarnelDoc::RACK_SIZE - 1);
        for (int i = 0; i <= last; ++i) {
            const CModule& m = rack[static_cast<std::size_t>(i)].module;
            if (m.IsEmpty())
                continue;
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

LegacyRefusal CheckImageLimits(const CVarnelDoc& doc)
{
    for (Port port : {Port::COM1, Port::COM2}) {
        if (doc.Enabled(port) != 1)
            continue;
        std::size_t length = 0;
        const int last = std::min(doc.deviceSlotNum + 2, CVarnelDoc::RACK_SIZE - 1);
        for (int i = 0; i <= last; ++i) {
            const CModule& m = doc.Slots(port)[static_cast<std::size_t>(i)].module;
            if (!m.IsEmpty())
                length += m.modulePrm.size();
        }
        if (length > 0xFFFF)
            return ErrorMessage(std::string(PortName(port)) + " 的模块参数共 " +
                                std::to_string(length) + " 字节，超过配置映像的上限 65535 字节");
    }
    return std::nullopt;
}

CompileResult CompileImage(CVarnelDoc& doc)
{
    CompileResult result;
    result.message = PlaceSlaveStatusModules(doc);
    if (!result.message)
        result.message = CheckImageLimits(doc);
    if (!result.message)
        result.image = BuildImage(doc);
    return result;
}

CompileResult Compile(CVarnelDoc& doc, const std::string& hexPath)
{
    CompileResult result = CompileImage(doc);
    if (result.message)
        return result;
    result.message = WriteHexFile(hexPath, result.image);
    result.hexWritten = !result.message.has_value();
    return result;
}

}  // namespace varnel
