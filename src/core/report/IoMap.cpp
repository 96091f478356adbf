#include "core/report/IoMap.h"

#include <algorithm>
#include <span>

#include "core/image/Compiler.h"
#include "core/image/ImageDecoder.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/modbus/SerialParams.h"
#include "core/util/Hex.h"
#include "core/view/DataRanges.h"

namespace varnel {

namespace {

// Step A on the copy, the image limits and step B: what compiling produces.
Result<Bytes> CompileCopy(CVarnelDoc& copy)
{
    return RefuseBadDocument([&] { return CompileImage(copy); });
}

std::vector<std::string> SerialLines(const Bytes& prm)
{
    std::vector<std::string> lines;
    if (prm.size() < 5) {
        std::string hex = FormatHex(prm, " ");
        if (!hex.empty()) hex.pop_back();
        lines.push_back("serial parameters: " + std::to_string(prm.size()) + " bytes (" + hex +
                        "), expected 6");
        return lines;
    }
    const std::string text = DescribeSerialParams(std::span<const std::uint8_t, 5>(prm.data(), 5));
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

IoMapRow MakeRow(const CModule& m, const SlotRange& range)
{
    IoMapRow row;
    row.slot = range.index - 2;
    row.label = m.moduleName;
    const Result<CommandFields> read = ReadCommandFields(m);
    if (m.IsStatusTable()) {
        row.kind = IoMapRow::Kind::StatusTable;
    } else if (FindCommandType(m.moduleName) != nullptr && read) {
        const CommandFields& fields = *read;
        row.kind = IoMapRow::Kind::Command;
        row.slave = fields.slaveAddress;
        row.function = m.modulePrm[1];
        row.start = fields.startAddress;
        row.quantity = fields.quantity;
        row.reference = ModbusReference(row.function, row.start);
    }
    if (range.hasRange) {
        row.direction = range.direction;
        row.hasRange = true;
        row.firstByte = range.first;
        row.lastByte = range.last;
        row.bytes = range.last - range.first + 1;
        row.words = (row.bytes + 1) / 2;
    }
    return row;
}

IoMapPort MakePort(const CVarnelDoc& compiled, Port port, const DecodedPort* decoded)
{
    IoMapPort out;
    out.port = port;
    out.serialPrm = compiled.Slot(port, 2).module.modulePrm;
    out.serialLines = SerialLines(out.serialPrm);
    out.stateInput = compiled.Slot(port, 0).module.inputLen;
    out.controlOutput = compiled.Slot(port, 1).module.outputLen;
    if (decoded != nullptr) {
        out.inLength = decoded->inputLast;
        out.outLength = decoded->outputLast;
    }
    for (const SlotRange& range : ComputePortRanges(compiled, port).slots)
        out.rows.push_back(MakeRow(compiled.Slot(port, range.index).module, range));
    return out;
}

}  // namespace

Result<IoMap> BuildIoMap(const CVarnelDoc& doc)
{
    IoMap map;
    map.compiled = doc;
    Result<Bytes> image = CompileCopy(map.compiled);
    if (!image) return image.error();
    // The totals and last offsets are read back from the image itself, so
    // they are the numbers the gateway receives.
    const DecodedImage decoded = DecodeImage(*image);
    map.deviceIp = doc.deviceIp;
    map.deviceSlotNum = doc.deviceSlotNum;
    map.allIn = decoded.inputTotal;
    map.allOut = decoded.outputTotal;
    map.image = *image;
    map.crc = decoded.checksum;
    for (Port port : {Port::COM1, Port::COM2}) {
        if (map.compiled.Enabled(port) != 1) continue;
        const DecodedPort* decodedPort = nullptr;
        for (const DecodedPort& p : decoded.ports)
            if (p.port == port) decodedPort = &p;
        map.ports.push_back(MakePort(map.compiled, port, decodedPort));
    }
    return map;
}

std::string ModbusReference(int functionCode, int start)
{
    char area = 0;
    switch (functionCode) {
        case 0x01:
        case 0x05:
        case 0x0F: area = '0'; break;
        case 0x02: area = '1'; break;
        case 0x04: area = '3'; break;
        case 0x03:
        case 0x06:
        case 0x10: area = '4'; break;
        default: return {};
    }
    const std::string number = std::to_string(start + 1);
    const std::size_t width = start + 1 <= 9999 ? 4 : 5;
    return area + std::string(width - std::min(width, number.size()), '0') + number;
}

std::string PortHeaderNote(const IoMapPort& port)
{
    return "bytes 0-1: status (input) and control (output); commands from byte 2 (rack: STATE " +
           std::to_string(port.stateInput) + " byte in, CONTROL " +
           std::to_string(port.controlOutput) + " byte out)";
}

}  // namespace varnel
