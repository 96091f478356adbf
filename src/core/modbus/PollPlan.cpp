#include "core/modbus/PollPlan.h"

#include <algorithm>
#include <array>
#include <span>

#include "core/modbus/CommandType.h"
#include "core/modbus/SerialParams.h"
#include "core/view/DataRanges.h"

namespace varnel {

namespace {
// Index for index with the baud list of the serial parameters.
constexpr std::array<int, 9> BAUD_RATES = {600,   1200,  2400,  4800,  9600,
                                           19200, 38400, 57600, 115200};
// Index for index with the format list: parity and stop bits (8 data bits).
constexpr std::array<std::pair<char, int>, 4> FORMATS = {{{'N', 1}, {'E', 1}, {'O', 1}, {'N', 2}}};
}  // namespace

Result<LineSettings> LineSettingsOf(const Bytes& comPrm)
{
    if (comPrm.size() < 5)
        return Refuse(Code::SerialUnknown, "the serial parameters hold fewer than 5 bytes");
    const SerialChoices choices =
        OpenSerialParams(std::span<const std::uint8_t, 5>(comPrm.data(), 5));
    static_assert(BAUD_RATES.size() == 9 && FORMATS.size() == 4);
    if (choices.index[BAUD] == NO_CHOICE)
        return Refuse(Code::SerialUnknown, "unknown baud rate code " + std::to_string(comPrm[0]));
    if (choices.index[FORMAT] == NO_CHOICE)
        return Refuse(Code::SerialUnknown,
                      "unknown character format code " + std::to_string(comPrm[1]));
    LineSettings line;
    line.baud = BAUD_RATES[static_cast<std::size_t>(choices.index[BAUD])];
    line.parity = FORMATS[static_cast<std::size_t>(choices.index[FORMAT])].first;
    line.stopBits = FORMATS[static_cast<std::size_t>(choices.index[FORMAT])].second;
    return line;
}

Result<PollPlan> MakePollPlan(const CVarnelDoc& doc, Port port)
{
    const std::string name = PortName(port);
    if (doc.Enabled(port) != 1 || doc.Slot(port, 2).module.moduleName != MODULE_COMPRM)
        return Refuse(Code::PortNotSetUp, name + " is not set up");
    const Bytes& comPrm = doc.Slot(port, 2).module.modulePrm;
    auto line = LineSettingsOf(comPrm);
    if (!line) return line.error();
    PollPlan plan;
    plan.port = port;
    plan.line = *line;
    plan.timerMs = comPrm[4] * 10;
    plan.updateEachCommand = (comPrm[3] & 3) == 2;
    plan.writeOnChange = (comPrm[3] & 0x80) != 0;
    plan.sameInterval = (comPrm[3] & 0x40) != 0;
    for (const SlotRange& range : ComputePortRanges(doc, port).slots) {
        const CModule& m = doc.Slot(port, range.index).module;
        // A command module sends the function code its bytes hold, as the
        // gateway does; a slave-status table sends nothing.
        const CommandType* type = FindCommandType(m.moduleName) == nullptr || m.modulePrm.size() < 6
                                      ? nullptr
                                      : FindCommandTypeByCode(m.modulePrm[1]);
        if (range.hasRange && m.outputLen == 0)
            plan.inputSize = std::max(plan.inputSize, range.last + 1);
        if (range.hasRange && m.outputLen != 0)
            plan.outputSize = std::max(plan.outputSize, range.last + 1);
        if (type == nullptr) continue;
        PollRequest r;
        r.slot = range.index - 2;
        r.label = m.moduleName;
        r.slave = m.modulePrm[0];
        r.function = type->functionCode;
        r.start = static_cast<std::uint16_t>(m.modulePrm[2] << 8 | m.modulePrm[3]);
        r.quantity = static_cast<std::uint16_t>(m.modulePrm[4] << 8 | m.modulePrm[5]);
        r.isWrite = type->isWrite;
        r.isRegister = type->isRegister;
        r.hasRange = range.hasRange;
        r.first = range.first;
        r.last = range.last;
        plan.requests.push_back(r);
    }
    return plan;
}

Result<PollPlan> MakePollPlan(const DecodedImage& image, Port port)
{
    for (const DecodedPort& decoded : image.ports) {
        if (decoded.port != port) continue;
        CVarnelDoc doc;
        doc.Enabled(port) = 1;
        const std::vector<CModule> modules = decoded.Modules();
        const int count = std::min(static_cast<int>(modules.size()), CVarnelDoc::RACK_SIZE);
        doc.deviceSlotNum =
            std::clamp(count - CVarnelDoc::FIXED_SLOTS, 1, CVarnelDoc::MAX_USER_SLOTS);
        for (int i = 0; i < count; ++i)
            doc.Slot(port, i).module = modules[static_cast<std::size_t>(i)];
        return MakePollPlan(doc, port);
    }
    return Refuse(Code::PortNotSetUp, std::string(PortName(port)) + " is not in the configuration");
}

std::string DescribeLine(const LineSettings& line)
{
    return std::to_string(line.baud) + " baud " + std::to_string(line.dataBits) + line.parity +
           std::to_string(line.stopBits);
}

}  // namespace varnel
