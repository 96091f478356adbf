// varnelctl commands that read a configuration without changing it: show,
// and compile, which writes the image but never the project.
#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <span>
#include <sstream>

#include "cli/CliCommand.h"
#include "cli/ProjectCommand.h"
#include "core/image/Compiler.h"
#include "core/image/HexFile.h"
#include "core/project/ProjectStore.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/modbus/SerialParams.h"
#include "core/view/DataRanges.h"

namespace varnel::cli {

namespace {

std::string Hex(const Bytes& bytes)
{
    std::string text = FormatHexText(bytes);
    if (!text.empty())
        text.pop_back();
    return text;
}

// Display columns of UTF-8 text: CJK glyphs are two wide.
int DisplayWidth(const std::string& text)
{
    int width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        width += len >= 3 ? 2 : 1;
        i += static_cast<std::size_t>(len);
    }
    return width;
}

std::string SlotLine(const CVarnelDoc& doc, Port port, const SlotRange& r)
{
    const CModule& m = doc.Slot(port, r.index).module;
    std::ostringstream line;
    line << "  " << std::setw(4) << std::left << UserSlotNumber(r.index) << "  ";
    const auto f = ReadCommandFields(m);
    if (f && FindCommandType(m.moduleName)) {
        line << m.moduleName
             << std::string(static_cast<std::size_t>(std::max(1, 27 - DisplayWidth(m.moduleName))),
                            ' ')
             << std::setw(7) << int(f->slaveAddress) << std::setw(7) << f->startAddress
             << std::setw(6) << f->quantity;
    } else {
        line << m.moduleName << "  [" << Hex(m.modulePrm) << "]  ";
    }
    line << (r.hasRange ? r.direction + " " + std::to_string(r.first) + ".." +
                              std::to_string(r.last)
                        : r.direction);
    return line.str();
}

void ShowPort(const CVarnelDoc& doc, Port port, std::ostream& out)
{
    const PortRanges ranges = ComputePortRanges(doc, port);
    out << PortName(port) << "  InLength: " << ranges.inLength
        << "  OutLength: " << ranges.outLength << "\n";
    const auto& prm = doc.Slot(port, SERIAL_PARAMS_INDEX).module.modulePrm;
    if (prm.size() >= 5) {
        std::istringstream lines(
            DescribeSerialParams(std::span<const std::uint8_t, 5>(prm.data(), 5)));
        for (std::string line; std::getline(lines, line);)
            out << "  " << line << "\n";
    } else {
        out << "  (serial parameters: " << prm.size() << " bytes, expected 6)\n";
    }
    out << "  slot  command                    slave  start  qty   EIP range\n";
    for (const SlotRange& r : ranges.slots)
        out << SlotLine(doc, port, r) << "\n";
}

int CmdShow(const std::vector<std::string>& argv)
{
    CVarnelDoc doc;
    if (!OpenProject(SinglePositional(argv, "PROJECT"), doc))
        return EXIT_REFUSED;
    std::ostream& out = std::cout;
    out << "deviceIp: " << doc.deviceIp << "\n";
    out << "deviceSlotNum: " << doc.deviceSlotNum << "\n";
    if (doc.com1Enabled != 1 && doc.com2Enabled != 1) {
        out << "no port configured\n";
        return EXIT_OK;
    }
    const Totals totals = ComputeTotals(doc);
    out << "AllInLength: " << totals.allIn << "  AllOutLength: " << totals.allOut << "\n";
    for (Port port : {Port::COM1, Port::COM2})
        if (doc.Enabled(port) == 1)
            ShowPort(doc, port, out);
    return EXIT_OK;
}

int CmdCompile(const std::vector<std::string>& argv)
{
    const InOut io = ParseInOut(argv, "PROJECT", true, nullptr);
    const std::string& path = io.input;
    const bool toStdout = io.output == "-";
    CVarnelDoc doc = NewDocument();
    const std::string hexPath = io.output.empty() ? doc.HexFilePath() : io.output;
    if (Status free = CheckOutputIsNotProject(hexPath, path, io.force); !toStdout && !free)
        return Refuse(free.message());
    Bytes image;
    if (io.output.empty()) {
        // As the desktop opens a project: read and compile into the hex file.
        Result<OpenedProject> opened = OpenProjectFile(path, doc);
        if (!opened)
            return Refuse(opened.message());
        if (!opened->compile)
            return Refuse(opened->compile.message());
        image = std::move(*opened->compile);
    } else {
        if (!OpenProject(path, doc))
            return EXIT_REFUSED;
        const Result<Bytes> result = RefuseBadDocument(
            [&] { return toStdout ? CompileImage(doc) : Compile(doc, hexPath); });
        if (!result)
            return Refuse(result.message());
        if (toStdout) {
            std::cout << FormatHexText(*result);
            std::cout.flush();
            return EXIT_OK;
        }
        image = *result;
    }
    char crc[8];
    std::snprintf(crc, sizeof crc, "%02x %02x", image[image.size() - 2], image.back());
    std::cout << "compiled " << path << ": image: " << image.size() << " bytes, checksum " << crc
              << ", hex file " << hexPath << std::endl;
    return EXIT_OK;
}

CliCommand cmdShow{"show", "show PROJECT", &CmdShow};
CliCommand cmdCompile{"compile", "compile PROJECT [-o HEXFILE|-] [--force]", &CmdCompile};

}  // namespace

}  // namespace varnel::cli
