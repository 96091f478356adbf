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
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/modbus/SerialParams.h"
#include "core/project/ProjectStore.h"
#include "core/report/IoMap.h"
#include "core/report/IoMapFormat.h"
#include "core/view/DataRanges.h"

namespace varnel::cli {

namespace {

int CmdShow(const std::vector<std::string>& argv)
{
    CVarnelDoc doc;
    if (!OpenProject(SinglePositional(argv, "PROJECT"), doc)) return EXIT_REFUSED;
    std::ostream& out = std::cout;
    out << "deviceIp: " << doc.deviceIp << "\n";
    out << "deviceSlotNum: " << doc.deviceSlotNum << "\n";
    if (doc.com1Enabled != 1 && doc.com2Enabled != 1) {
        out << "no port configured\n";
        return EXIT_OK;
    }
    // What compiling produces: the status tables placed, the image's totals.
    const Result<IoMap> map = BuildIoMap(doc);
    if (!map) return Refuse(map.message());
    out << FormatShowLines(*map);
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
        if (!opened) return Refuse(opened.message());
        if (!opened->compile) return Refuse(opened->compile.message());
        image = std::move(*opened->compile);
    } else {
        if (!OpenProject(path, doc)) return EXIT_REFUSED;
        const Result<Bytes> result =
            RefuseBadDocument([&] { return toStdout ? CompileImage(doc) : Compile(doc, hexPath); });
        if (!result) return Refuse(result.message());
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
