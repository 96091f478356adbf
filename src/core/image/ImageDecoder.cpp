#include "core/image/ImageDecoder.h"

#include <span>

#include "core/image/Crc16.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/modbus/SerialParams.h"
#include "core/modbus/StatusTable.h"
#include "core/util/Hex.h"

namespace varnel {

namespace {

constexpr std::size_t SERIAL_BYTES = 6;
constexpr std::size_t COMMAND_BYTES = 6;

std::string Hex2(unsigned value)
{
    return FormatHex({static_cast<std::uint8_t>(value)});
}

std::string Hex4(unsigned value)
{
    return FormatHex({static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
}

// Reads the image front to back; every read knows what is left.
class Reader {
public:
    Reader(const Bytes& bytes, std::size_t end) : data(bytes), limit(end) {}
    std::size_t Left() const { return limit - pos; }
    std::size_t Pos() const { return pos; }
    bool U8(std::uint8_t& out)
    {
        if (Left() < 1) return false;
        out = data[pos++];
        return true;
    }
    bool U16(std::uint16_t& out)
    {
        if (Left() < 2) return false;
        out = static_cast<std::uint16_t>(data[pos] << 8 | data[pos + 1]);
        pos += 2;
        return true;
    }
    bool Take(std::size_t n, Bytes& out)
    {
        if (Left() < n) return false;
        out.assign(data.begin() + static_cast<std::ptrdiff_t>(pos),
                   data.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
        return true;
    }

private:
    const Bytes& data;
    std::size_t limit;
    std::size_t pos = 0;
};

// Bytes of the status table a monitoring choice asks for (0 for none).
std::size_t StatusTableBytes(std::uint8_t choice)
{
    return MakeStatusTableModule(choice).modulePrm.size();
}

void CheckSerial(const std::string& name, const Bytes& prm, std::vector<std::string>& problems)
{
    if (prm[0] < 1 || prm[0] > 9)
        problems.push_back(name + " serial parameters: baud rate code " + std::to_string(prm[0]) +
                           " is not 1 to 9");
    if (prm[1] > 3)
        problems.push_back(name + " serial parameters: character format code " +
                           std::to_string(prm[1]) + " is not 0 to 3");
    if (prm[2] > 8)
        problems.push_back(name + " serial parameters: slave status code " +
                           std::to_string(prm[2]) + " is not 0 to 8");
    const int update = prm[3] & 0x03;
    if (update < 1 || update > 2)
        problems.push_back(name + " serial parameters: update mode code " + std::to_string(update) +
                           " is not 1 or 2");
    if ((prm[3] & 0x3C) != 0)
        problems.push_back(name + " serial parameters: mode byte " + Hex2(prm[3]) +
                           " has bits 2-5 set");
}

void DecodeParameters(DecodedPort& port, const Bytes& prm, std::vector<std::string>& problems)
{
    const std::string name = PortName(port.port);
    if (prm.size() < SERIAL_BYTES) {
        problems.push_back(name + ": " + std::to_string(prm.size()) +
                           " parameter bytes, fewer than the 6 serial parameter bytes");
        return;
    }
    port.serialPrm.assign(prm.begin(), prm.begin() + SERIAL_BYTES);
    CheckSerial(name, port.serialPrm, problems);
    std::size_t end = prm.size();
    const std::uint8_t choice = port.serialPrm[2];
    const std::size_t tableBytes = StatusTableBytes(choice);
    if (tableBytes > 0) {
        bool ok = prm.size() >= SERIAL_BYTES + tableBytes;
        for (std::size_t i = 0; ok && i < tableBytes; ++i)
            ok = prm[prm.size() - tableBytes + i] == i;
        if (!ok) {
            problems.push_back(name + ": the slave status table (" + std::to_string(tableBytes) +
                               " bytes 00 .. " + Hex2(static_cast<unsigned>(tableBytes - 1)) +
                               ") does not end the parameter bytes");
        } else {
            port.statusTable = MakeStatusTableModule(choice);
            end -= tableBytes;
        }
    }
    const std::size_t commandBytes = end - SERIAL_BYTES;
    if (commandBytes % COMMAND_BYTES != 0) {
        problems.push_back(name + ": " + std::to_string(commandBytes) +
                           " command bytes are not a whole number of 6-byte commands");
    }
    for (std::size_t at = SERIAL_BYTES; at + COMMAND_BYTES <= end; at += COMMAND_BYTES) {
        const std::size_t number = port.commands.size() + 1;
        const std::uint8_t slave = prm[at];
        const std::uint8_t function = prm[at + 1];
        const auto start = static_cast<std::uint16_t>(prm[at + 2] << 8 | prm[at + 3]);
        const auto quantity = static_cast<std::uint16_t>(prm[at + 4] << 8 | prm[at + 5]);
        const CommandType* type = FindCommandTypeByCode(function);
        if (type == nullptr) {
            problems.push_back(name + " command " + std::to_string(number) + ": function code " +
                               Hex2(function) + " is not a command of the gateway");
            CModule unknown;
            unknown.modulePrm.assign(prm.begin() + static_cast<std::ptrdiff_t>(at),
                                     prm.begin() + static_cast<std::ptrdiff_t>(at + 6));
            port.commands.push_back(unknown);
            continue;
        }
        if (quantity < 1 || quantity > type->maxQuantity)
            problems.push_back(name + " command " + std::to_string(number) + ": quantity " +
                               std::to_string(quantity) + " is not 1 to " +
                               std::to_string(type->maxQuantity));
        port.commands.push_back(MakeModule(type->label, start, quantity, slave));
    }
}

void CheckLastOffsets(const DecodedPort& port, std::vector<std::string>& problems)
{
    std::uint16_t in = 0, out = 0;
    for (const auto& m : port.Modules()) {
        in = static_cast<std::uint16_t>(in + m.inputLen);
        out = static_cast<std::uint16_t>(out + m.outputLen);
    }
    const auto inLast = static_cast<std::uint16_t>(in - 1);
    const auto outLast = static_cast<std::uint16_t>(out - 1);
    const std::string name = PortName(port.port);
    if (inLast != port.inputLast)
        problems.push_back(name + " input last offset: the image says " +
                           std::to_string(port.inputLast) + ", its modules give " +
                           std::to_string(inLast));
    if (outLast != port.outputLast)
        problems.push_back(name + " output last offset: the image says " +
                           std::to_string(port.outputLast) + ", its modules give " +
                           std::to_string(outLast));
}

}  // namespace

std::vector<CModule> DecodedPort::Modules() const
{
    std::vector<CModule> modules{MakeModule(MODULE_STATE, 0, 0, 0),
                                 MakeModule(MODULE_CONTROL, 0, 0, 0)};
    CModule comprm = MakeModule(MODULE_COMPRM, 0, 0, 0);
    if (serialPrm.size() == SERIAL_BYTES) comprm.modulePrm = serialPrm;
    modules.push_back(comprm);
    modules.insert(modules.end(), commands.begin(), commands.end());
    if (!statusTable.IsEmpty()) modules.push_back(statusTable);
    return modules;
}

DecodedImage DecodeImage(const Bytes& image)
{
    DecodedImage d;
    d.size = image.size();
    if (image.size() < 7) {
        d.problems.push_back("the image is " + std::to_string(image.size()) +
                             " bytes long; the shortest image (no port) is 7 bytes");
        return d;
    }
    const std::size_t body = image.size() - 2;
    d.checksum = static_cast<std::uint16_t>(image[body] << 8 | image[body + 1]);
    // The checksum comes first: when it fails, whatever else is wrong is
    // most likely damage in transit.
    const std::uint16_t crc = Crc16Modbus(image.data(), body);
    if (crc != d.checksum)
        d.problems.push_back("checksum: the image says " + Hex4(d.checksum) + ", its bytes give " +
                             Hex4(crc));
    Reader r(image, body);
    r.U8(d.comFlags);
    if ((d.comFlags & ~0x03) != 0)
        d.problems.push_back("the port flags byte " + Hex2(d.comFlags) +
                             " has bits other than 0 and 1 set");
    for (Port port : {Port::COM1, Port::COM2}) {
        if ((d.comFlags & (port == Port::COM1 ? 1 : 2)) == 0) continue;
        DecodedPort p;
        p.port = port;
        const std::string name = PortName(port);
        const std::size_t at = r.Pos();
        Bytes prm;
        if (!r.U16(p.parameterLength) || !r.Take(p.parameterLength, prm) || !r.U16(p.inputLast) ||
            !r.U16(p.outputLast) || r.Left() < 4) {
            d.problems.push_back(name + " block at offset " + std::to_string(at) +
                                 ": parameter length " + std::to_string(p.parameterLength) +
                                 " runs past the end of the image");
            return d;
        }
        DecodeParameters(p, prm, d.problems);
        d.ports.push_back(std::move(p));
    }
    if (!r.U16(d.inputTotal) || !r.U16(d.outputTotal)) {
        d.problems.push_back("the image ends before its input and output totals");
        return d;
    }
    if (r.Left() != 0) {
        d.problems.push_back(std::to_string(r.Left()) +
                             " bytes stand between the totals and the checksum");
        return d;
    }
    for (const auto& p : d.ports)
        if (p.serialPrm.size() == SERIAL_BYTES) CheckLastOffsets(p, d.problems);
    std::uint16_t inTotal = 2, outTotal = 2;
    for (const auto& p : d.ports) {
        inTotal = static_cast<std::uint16_t>(inTotal + p.inputLast);
        outTotal = static_cast<std::uint16_t>(outTotal + p.outputLast);
    }
    if (inTotal != d.inputTotal)
        d.problems.push_back("input total: the image says " + std::to_string(d.inputTotal) +
                             ", the ports give " + std::to_string(inTotal));
    if (outTotal != d.outputTotal)
        d.problems.push_back("output total: the image says " + std::to_string(d.outputTotal) +
                             ", the ports give " + std::to_string(outTotal));
    return d;
}

Status CheckImage(const Bytes& image)
{
    const DecodedImage decoded = DecodeImage(image);
    if (decoded.Valid()) return {};
    return Refuse(Code::ImageRefused, decoded.problems.front());
}

std::string DescribeImage(const DecodedImage& d)
{
    std::string out =
        "image " + std::to_string(d.size) + " bytes, checksum " + Hex4(d.checksum) + "\n";
    for (Port port : {Port::COM1, Port::COM2}) {
        const DecodedPort* p = nullptr;
        for (const auto& candidate : d.ports)
            if (candidate.port == port) p = &candidate;
        out += std::string(PortName(port)) + ":";
        if (p == nullptr) {
            out += " not configured\n";
            continue;
        }
        out += ' ';
        out += std::to_string(p->parameterLength);
        out += " parameter bytes, input last ";
        out += std::to_string(p->inputLast);
        out += ", output last ";
        out += std::to_string(p->outputLast);
        out += '\n';
        if (p->serialPrm.size() == SERIAL_BYTES) {
            std::string serial =
                DescribeSerialParams(std::span<const std::uint8_t, 5>(p->serialPrm.data(), 5));
            std::size_t start = 0;
            while (start < serial.size()) {
                const std::size_t nl = serial.find('\n', start);
                out += "  " + serial.substr(start, nl - start) + "\n";
                start = nl == std::string::npos ? serial.size() : nl + 1;
            }
        }
        int number = 0;
        for (const auto& m : p->commands) {
            ++number;
            out += "  command " + std::to_string(number) + ": ";
            if (m.modulePrm.size() < 6) continue;
            const auto& b = m.modulePrm;
            out += (m.moduleName.empty() ? "function " + Hex2(b[1]) : m.moduleName) + ", slave " +
                   std::to_string(b[0]) + ", start " + std::to_string(b[2] << 8 | b[3]) +
                   ", quantity " + std::to_string(b[4] << 8 | b[5]) + ", input " +
                   std::to_string(m.inputLen) + ", output " + std::to_string(m.outputLen) + "\n";
        }
        if (!p->statusTable.IsEmpty())
            out += "  status table: " + p->statusTable.moduleName + ", input " +
                   std::to_string(p->statusTable.inputLen) + "\n";
    }
    out += "input total " + std::to_string(d.inputTotal) + ", output total " +
           std::to_string(d.outputTotal) + "\n";
    for (const auto& problem : d.problems) out += "problem: " + problem + "\n";
    return out;
}

}  // namespace varnel
