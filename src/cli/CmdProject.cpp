// varnelctl commands that build and inspect a configuration.
#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <span>
#include <sstream>

#include "cli/CliCommand.h"
#include "cli/ProjectCommand.h"
#include "core/image/Compiler.h"
#include "core/image/Crc16.h"
#include "core/image/HexFile.h"
#include "core/modbus/CommandCheck.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/modbus/SerialParams.h"
#include "core/model/AtomicFile.h"
#include "core/model/SlotCount.h"
#include "core/project/JsonDocument.h"
#include "core/project/ProjectStore.h"
#include "core/report/IoMap.h"
#include "core/report/IoMapFormat.h"
#include "core/view/DataRanges.h"
#include "core/view/ViewCommands.h"

namespace varnel::cli {

bool OpenProject(const std::string& path, CVarnelDoc& doc)
{
    if (auto refusal = LoadProject(path, doc)) {
        PrintMessage(*refusal);
        return false;
    }
    return true;
}

int SaveBack(const std::string& path, const CVarnelDoc& doc)
{
    if (auto refusal = SaveProject(path, doc))
        return Refuse(*refusal);
    return EXIT_OK;
}

Port ParsePort(const std::string& text)
{
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper == "COM1")
        return Port::COM1;
    if (upper == "COM2")
        return Port::COM2;
    throw UsageError{"port must be COM1 or COM2, not " + text};
}

namespace {

// User slot number (1-based) within the slot count; a refusal otherwise.
bool CheckUserSlot(const CVarnelDoc& doc, long slot)
{
    if (slot >= 1 && slot <= doc.deviceSlotNum)
        return true;
    Refuse("槽号 " + std::to_string(slot) + " 超出范围: 用户槽为 1~" +
           std::to_string(doc.deviceSlotNum));
    return false;
}

const CommandType* ParseCommandType(const std::string& text)
{
    if (const CommandType* type = FindCommandType(text))
        return type;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (!digits.empty() && digits.size() <= 2 &&
        std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c); }))
        if (const CommandType* type =
                FindCommandTypeByCode(static_cast<std::uint8_t>(std::stoi(digits, nullptr, 16))))
            return type;
    std::string known;
    for (const auto& t : CommandTypes())
        known += "\n  " + std::string(t.label);
    throw UsageError{"unknown command type " + text + "; use a function code or one of:" + known};
}

int CmdNew(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string path = args.Positional("PROJECT");
    args.Done();
    CVarnelDoc doc;
    doc.OnNewDocument();
    return SaveBack(path, doc);
}

int CmdSetupPort(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string path = args.Positional("PROJECT");
    const Port port = ParsePort(args.Positional("COM1|COM2"));
    args.Done();
    CVarnelDoc doc;
    if (!OpenProject(path, doc))
        return EXIT_REFUSED;
    SetupPort(doc, port);
    return SaveBack(path, doc);
}

int CmdAdd(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string slave = args.Option("slave", "0");
    const std::string start = args.Option("start", "0");
    const std::string qty = args.Option("qty", "1");
    const std::string path = args.Positional("PROJECT");
    const Port port = ParsePort(args.Positional("COM1|COM2"));
    const long slot = ParseNumber(args.Positional("SLOT"), "SLOT");
    const CommandType* type = ParseCommandType(args.Positional("TYPE"));
    args.Done();
    CVarnelDoc doc;
    if (!OpenProject(path, doc))
        return EXIT_REFUSED;
    if (!CheckUserSlot(doc, slot))
        return EXIT_REFUSED;
    doc.selectedSlot = SlotToSelection(port, static_cast<int>(slot) + 2);
    CommandFields fields;
    if (auto refusal = CheckCommand(doc, type->label, start, slave, qty, fields))
        return Refuse(*refusal);
    PlaceModule(doc, type->label, fields.startAddress, fields.quantity, fields.slaveAddress);
    return SaveBack(path, doc);
}

int CmdEdit(const std::vector<std::string>& argv)
{
    Args args(argv);
    const bool hasSlave = args.HasOption("slave");
    const bool hasStart = args.HasOption("start");
    const bool hasQty = args.HasOption("qty");
    const std::string slave = args.Option("slave");
    const std::string start = args.Option("start");
    const std::string qty = args.Option("qty");
    const std::string path = args.Positional("PROJECT");
    const Port port = ParsePort(args.Positional("COM1|COM2"));
    const long slot = ParseNumber(args.Positional("SLOT"), "SLOT");
    args.Done();
    CVarnelDoc doc;
    if (!OpenProject(path, doc))
        return EXIT_REFUSED;
    if (!CheckUserSlot(doc, slot))
        return EXIT_REFUSED;
    const int index = static_cast<int>(slot) + 2;
    CModule& module = doc.Slot(port, index).module;
    CommandFields fields;
    if (module.IsEmpty() || module.IsStatusTable() || !ReadCommandFields(module, fields))
        return Refuse(std::string(PortName(port)) + " 槽 " + std::to_string(slot) +
                      " 没有可编辑的命令");
    doc.selectedSlot = SlotToSelection(port, index);
    const std::string startText = hasStart ? start : std::to_string(fields.startAddress);
    const std::string slaveText = hasSlave ? slave : std::to_string(fields.slaveAddress);
    const std::string qtyText = hasQty ? qty : std::to_string(fields.quantity);
    if (auto refusal = CheckCommand(doc, module.moduleName, startText, slaveText, qtyText, fields))
        return Refuse(*refusal);
    ApplyCommandEdit(module, fields);
    doc.modified = true;
    return SaveBack(path, doc);
}

int CmdSerial(const std::vector<std::string>& argv)
{
    Args args(argv);
    struct Setting {
        const char* option;
        SerialListId list;
        std::string value;
    };
    std::vector<Setting> settings = {
        {"baud", BAUD, {}},     {"format", FORMAT, {}}, {"monitor", MONITOR, {}},
        {"timer", TIMER, {}},   {"update", UPDATE, {}}, {"write", WRITE_MODE, {}},
        {"timer-mode", TIMER_MODE, {}},
    };
    for (auto& s : settings)
        s.value = args.Option(s.option);
    const std::string path = args.Positional("PROJECT");
    const Port port = ParsePort(args.Positional("COM1|COM2"));
    args.Done();
    CVarnelDoc doc;
    if (!OpenProject(path, doc))
        return EXIT_REFUSED;
    if (doc.Enabled(port) != 1)
        return Refuse(std::string(PortName(port)) + " 未配置 Modbus 主站");
    auto& prm = doc.Slot(port, 2).module.modulePrm;
    if (prm.size() < 5)
        return Refuse(std::string(PortName(port)) + " 的串口参数模块不足 5 个字节");
    std::span<std::uint8_t, 5> bytes(prm.data(), 5);
    SerialChoices choices = OpenSerialParams(bytes);
    for (const auto& s : settings) {
        if (s.value.empty())
            continue;
        const int index = FindSerialItem(s.list, s.value);
        if (index == NO_CHOICE) {
            std::string items;
            const auto& list = SerialLists()[s.list];
            for (std::size_t i = 0; i < list.items.size(); ++i)
                items += "\n  " + std::to_string(i) + ": " + std::string(list.items[i]);
            throw UsageError{std::string("--") + s.option + ": no item " + s.value +
                             "; choose one of:" + items};
        }
        choices.index[s.list] = index;
    }
    StoreSerialParams(choices, bytes);
    doc.modified = true;
    return SaveBack(path, doc);
}

int CmdDelete(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string path = args.Positional("PROJECT");
    std::string target = args.Positional("COM1|COM2[:SLOT]");
    args.Done();
    long slot = 0;
    if (auto colon = target.find(':'); colon != std::string::npos) {
        slot = ParseNumber(target.substr(colon + 1), "SLOT");
        target = target.substr(0, colon);
    }
    const Port port = ParsePort(target);
    CVarnelDoc doc;
    if (!OpenProject(path, doc))
        return EXIT_REFUSED;
    if (slot != 0 && !CheckUserSlot(doc, slot))
        return EXIT_REFUSED;
    doc.selectedSlot = slot == 0 ? (port == Port::COM1 ? CVarnelDoc::COM1_HEAD
                                                       : CVarnelDoc::COM2_HEAD)
                                 : SlotToSelection(port, static_cast<int>(slot) + 2);
    if (!OffersDelete(doc))
        return Refuse(slot == 0 ? std::string(PortName(port)) + " 未配置 Modbus 主站"
                                : std::string(PortName(port)) + " 槽 " + std::to_string(slot) +
                                      " 是空的");
    DeleteSelected(doc);
    return SaveBack(path, doc);
}

int CmdSlots(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string path = args.Positional("PROJECT");
    const std::string count = args.Positional("N");
    args.Done();
    CVarnelDoc doc;
    if (!OpenProject(path, doc))
        return EXIT_REFUSED;
    int value = 0;
    if (auto refusal = CheckSlotCountText(count, value))
        return Refuse(*refusal);
    doc.deviceSlotNum = value;
    return SaveBack(path, doc);
}

bool IsDottedQuad(const std::string& text)
{
    int parts = 0;
    std::size_t i = 0;
    while (i <= text.size()) {
        std::size_t j = i;
        int value = 0;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9' && j - i < 3)
            value = value * 10 + (text[j++] - '0');
        if (j == i || value > 255)
            return false;
        ++parts;
        if (j == text.size())
            break;
        if (text[j] != '.')
            return false;
        i = j + 1;
    }
    return parts == 4;
}

int CmdIp(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string path = args.Positional("PROJECT");
    const std::string address = args.Positional("ADDRESS");
    args.Done();
    if (!IsDottedQuad(address))
        throw UsageError{"ADDRESS must be an IPv4 address a.b.c.d, not " + address};
    CVarnelDoc doc;
    if (!OpenProject(path, doc))
        return EXIT_REFUSED;
    doc.deviceIp = address;
    return SaveBack(path, doc);
}

int CmdShow(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string path = args.Positional("PROJECT");
    args.Done();
    CVarnelDoc doc;
    if (!OpenProject(path, doc))
        return EXIT_REFUSED;
    std::ostream& out = std::cout;
    out << "deviceIp: " << doc.deviceIp << "\n";
    out << "deviceSlotNum: " << doc.deviceSlotNum << "\n";
    if (doc.com1Enabled != 1 && doc.com2Enabled != 1) {
        out << "no port configured\n";
        return EXIT_OK;
    }
    // What compiling produces: the status tables placed, the image's totals.
    const Result<IoMap> map = BuildIoMap(doc);
    if (!map)
        return Refuse(map.message());
    out << FormatShowLines(*map);
    return EXIT_OK;
}

int CmdCompile(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string output = args.Option("o");
    const std::string path = args.Positional("PROJECT");
    args.Done();
    CVarnelDoc doc;
    if (!OpenProject(path, doc))
        return EXIT_REFUSED;
    const bool toStdout = output == "-";
    const std::string hexPath = output.empty() ? doc.HexFilePath() : output;
    CompileResult result = toStdout ? CompileImage(doc) : Compile(doc, hexPath);
    if (result.message)
        return Refuse(*result.message);
    if (toStdout) {
        std::cout << FormatHexText(result.image);
        std::cout.flush();
        return EXIT_OK;
    }
    const auto& image = result.image;
    char crc[8];
    std::snprintf(crc, sizeof crc, "%02x %02x", image[image.size() - 2], image.back());
    std::cout << "image: " << image.size() << " bytes, checksum " << crc << "\n"
              << "hex file: " << hexPath << "\n";
    return EXIT_OK;
}

int CmdExport(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string output = args.Option("o");
    const std::string path = args.Positional("PROJECT");
    args.Done();
    if (output.empty())
        throw UsageError{"missing -o FILE.json"};
    CVarnelDoc doc;
    if (!OpenProject(path, doc))
        return EXIT_REFUSED;
    if (output == "-") {
        std::cout << ExportJson(doc);
        return EXIT_OK;
    }
    if (auto refusal = WriteFileAtomically(output, ExportJson(doc)))
        return Refuse(*refusal);
    return EXIT_OK;
}

int CmdImport(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string output = args.Option("o");
    const std::string path = args.Positional("FILE.json");
    args.Done();
    if (output.empty())
        throw UsageError{"missing -o PROJECT"};
    std::string text;
    if (!ReadWholeFile(path, text))
        return Refuse("无法打开文件 " + path);
    CVarnelDoc doc;
    if (auto refusal = ImportJson(text, doc))
        return Refuse(*refusal);
    return SaveBack(output, doc);
}

CliCommand cmdNew{"new", "new PROJECT", &CmdNew};
CliCommand cmdSetup{"setup-port", "setup-port PROJECT COM1|COM2", &CmdSetupPort};
CliCommand cmdAdd{"add",
                  "add PROJECT COM1|COM2 SLOT TYPE [--slave N] [--start N] [--qty N]",
                  &CmdAdd};
CliCommand cmdEdit{"edit", "edit PROJECT COM1|COM2 SLOT [--slave N] [--start N] [--qty N]",
                   &CmdEdit};
CliCommand cmdSerial{"serial",
                     "serial PROJECT COM1|COM2 [--baud TEXT] [--format INDEX] [--monitor INDEX] "
                     "[--timer TEXT] [--update INDEX] [--write INDEX] [--timer-mode INDEX]",
                     &CmdSerial};
CliCommand cmdDelete{"delete", "delete PROJECT COM1|COM2[:SLOT]", &CmdDelete};
CliCommand cmdSlots{"slots", "slots PROJECT N", &CmdSlots};
CliCommand cmdIp{"ip", "ip PROJECT ADDRESS", &CmdIp};
CliCommand cmdShow{"show", "show PROJECT", &CmdShow};
CliCommand cmdCompile{"compile", "compile PROJECT [-o HEXFILE|-]", &CmdCompile};
CliCommand cmdExport{"export", "export PROJECT -o FILE.json", &CmdExport};
CliCommand cmdImport{"import", "import FILE.json -o PROJECT", &CmdImport};

}  // namespace

}  // namespace varnel::cli
