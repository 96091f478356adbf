#include "core/report/ProjectDiff.h"

#include <algorithm>
#include <span>

#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/modbus/SerialParams.h"
#include "core/util/Hex.h"

namespace varnel {

namespace {

const char* const ARROW = " → ";

// "05 00 01": bytes as spaced hex.
std::string HexText(const Bytes& bytes)
{
    std::string text = FormatHex(bytes, " ");
    if (!text.empty()) text.pop_back();
    return text;
}

// One port of either side: its enabled flag and its modules by rack index.
struct PortSide {
    bool enabled = false;
    std::vector<CModule> modules;

    CModule At(std::size_t index) const
    {
        return index < modules.size() ? modules[index] : CModule{};
    }
};

bool IsCommand(const CModule& m, CommandFields& fields)
{
    if (m.IsStatusTable() || FindCommandType(m.moduleName) == nullptr) return false;
    const Result<CommandFields> read = ReadCommandFields(m);
    if (read) fields = *read;
    return read.ok();
}

// Every field that tells two modules apart, for modules that read the same.
std::string Detailed(const CModule& m)
{
    return (m.IsEmpty() ? std::string("(empty)") : m.moduleName) + " [" + HexText(m.modulePrm) +
           "] in " + std::to_string(m.inputLen) + " out " + std::to_string(m.outputLen) +
           (m.picture.empty() ? "" : " picture " + m.picture) +
           (m.usrPrm.empty() ? "" : " usrPrm " + m.usrPrm);
}

// "COM1 slot 3: 读4区 03H slave 1 start 0 qty 10 → qty 20".
std::string ModuleLine(const std::string& where, const CModule& a, const CModule& b)
{
    CommandFields fa, fb;
    if (a.moduleName == b.moduleName && IsCommand(a, fa) && IsCommand(b, fb)) {
        std::string changes;
        if (fa.slaveAddress != fb.slaveAddress)
            changes += " slave " + std::to_string(fb.slaveAddress);
        if (fa.startAddress != fb.startAddress)
            changes += " start " + std::to_string(fb.startAddress);
        if (fa.quantity != fb.quantity) changes += " qty " + std::to_string(fb.quantity);
        if (!changes.empty()) return where + ": " + DescribeModule(a) + ARROW + changes.substr(1);
    }
    const std::string da = DescribeModule(a);
    const std::string db = DescribeModule(b);
    if (da != db) return where + ": " + da + ARROW + db;
    return where + ": " + Detailed(a) + ARROW + Detailed(b);
}

void DiffSerial(const std::string& port, const CModule& a, const CModule& b,
                std::vector<std::string>& lines)
{
    const Bytes& pa = a.modulePrm;
    const Bytes& pb = b.modulePrm;
    if (pa == pb) {
        if (a != b) lines.push_back(ModuleLine(port + " slot COMPRM", a, b));
        return;
    }
    const std::size_t before = lines.size();
    if (pa.size() >= 5 && pb.size() >= 5 &&
        std::equal(pa.begin() + 5, pa.end(), pb.begin() + 5, pb.end())) {
        const SerialChoices ca = OpenSerialParams(std::span<const std::uint8_t, 5>(pa.data(), 5));
        const SerialChoices cb = OpenSerialParams(std::span<const std::uint8_t, 5>(pb.data(), 5));
        for (std::size_t list = 0; list < LIST_COUNT; ++list) {
            if (ca.index[list] == cb.index[list]) continue;
            const SerialList& l = SerialLists()[list];
            auto item = [&l](int i) {
                return i == NO_CHOICE ? std::string("(none)")
                                      : std::string(l.items[static_cast<std::size_t>(i)]);
            };
            lines.push_back(port + " serial " + std::string(l.label) + " " + item(ca.index[list]) +
                            ARROW + item(cb.index[list]));
        }
    }
    // Bytes that differ where no list shows them (or too few bytes to read).
    if (lines.size() == before)
        lines.push_back(port + " serial parameters: " + HexText(pa) + ARROW + HexText(pb));
}

void DiffPort(Port port, const char* unit, const PortSide& a, const PortSide& b,
              std::vector<std::string>& lines)
{
    const std::string name = PortName(port);
    if (a.enabled != b.enabled) {
        lines.push_back(name + ": " + (a.enabled ? "configured" : "not configured") + ARROW +
                        (b.enabled ? "configured" : "not configured"));
        return;
    }
    if (!a.enabled) return;
    for (std::size_t fixed : {0u, 1u})
        if (a.At(fixed) != b.At(fixed))
            lines.push_back(ModuleLine(name + " slot " + (fixed == 0 ? "STATE" : "CONTROL"),
                                       a.At(fixed), b.At(fixed)));
    DiffSerial(name, a.At(2), b.At(2), lines);
    const std::size_t count = std::max(a.modules.size(), b.modules.size());
    for (std::size_t k = 3; k < count; ++k)
        if (a.At(k) != b.At(k))
            lines.push_back(
                ModuleLine(name + " " + unit + " " + std::to_string(k - 2), a.At(k), b.At(k)));
}

PortSide DocumentSide(const CVarnelDoc& doc, Port port)
{
    PortSide side;
    side.enabled = doc.Enabled(port) == 1;
    const auto& rack = doc.Slots(port);
    const int last = std::clamp(doc.LastConfigIndex(), 2, CVarnelDoc::RACK_SIZE - 1);
    for (int k = 0; k <= last; ++k)
        side.modules.push_back(rack[static_cast<std::size_t>(k)].module);
    return side;
}

PortSide ImageSide(const DecodedImage& image, Port port)
{
    PortSide side;
    for (const DecodedPort& p : image.ports) {
        if (p.port == port) {
            side.enabled = true;
            side.modules = p.Modules();
        }
    }
    return side;
}

}  // namespace

std::string DescribeModule(const CModule& m)
{
    if (m.IsEmpty()) return "(empty)";
    CommandFields f;
    if (!IsCommand(m, f)) return m.moduleName;
    return m.moduleName + " slave " + std::to_string(f.slaveAddress) + " start " +
           std::to_string(f.startAddress) + " qty " + std::to_string(f.quantity);
}

std::vector<std::string> DiffDocuments(const CVarnelDoc& a, const CVarnelDoc& b)
{
    std::vector<std::string> lines;
    if (a.deviceIp != b.deviceIp) lines.push_back("deviceIp: " + a.deviceIp + ARROW + b.deviceIp);
    if (a.deviceSlotNum != b.deviceSlotNum)
        lines.push_back("deviceSlotNum: " + std::to_string(a.deviceSlotNum) + ARROW +
                        std::to_string(b.deviceSlotNum));
    for (Port port : {Port::COM1, Port::COM2})
        DiffPort(port, "slot", DocumentSide(a, port), DocumentSide(b, port), lines);
    return lines;
}

std::vector<std::string> DiffImages(const DecodedImage& a, const DecodedImage& b)
{
    std::vector<std::string> lines;
    for (Port port : {Port::COM1, Port::COM2})
        DiffPort(port, "module", ImageSide(a, port), ImageSide(b, port), lines);
    return lines;
}

}  // namespace varnel
