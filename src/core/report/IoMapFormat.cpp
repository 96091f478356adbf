#include "core/report/IoMapFormat.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "core/util/Csv.h"

namespace varnel {

namespace {

bool IsStatus(const IoMapRow& row)
{
    return row.kind == IoMapRow::Kind::StatusTable;
}
bool IsCommand(const IoMapRow& row)
{
    return row.kind == IoMapRow::Kind::Command;
}

std::string Num(int value)
{
    return std::to_string(value);
}

std::string RangeText(const IoMapRow& row)
{
    return row.hasRange ? row.direction + " " + Num(row.firstByte) + ".." + Num(row.lastByte) : "";
}

}  // namespace

std::vector<std::string> IoMapRowCells(Port port, const IoMapRow& row)
{
    const bool cmd = IsCommand(row);
    return {PortName(port),
            Num(row.slot),
            row.label,
            cmd ? Num(row.slave) : "",
            cmd ? FunctionText(row.function) : "",
            cmd ? Num(row.start) : "",
            cmd ? row.reference : "",
            cmd ? Num(row.quantity) : "",
            row.direction,
            row.hasRange ? Num(row.firstByte) : "",
            row.hasRange ? Num(row.lastByte) : "",
            Num(row.bytes)};
}

namespace {

// `text` followed by spaces up to `width` display columns (at least one).
std::string Pad(const std::string& text, int width)
{
    return text +
           std::string(static_cast<std::size_t>(std::max(1, width - DisplayWidth(text))), ' ');
}

std::string Hex4(unsigned value)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", value & 0xFFFF);
    return buf;
}

std::string PortLine(const IoMapPort& port)
{
    return std::string(PortName(port.port)) + "  InLength: " + Num(port.inLength) +
           "  OutLength: " + Num(port.outLength) + "\n";
}

std::string TotalsLine(const IoMap& map)
{
    return "AllInLength: " + Num(map.allIn) + "  AllOutLength: " + Num(map.allOut) + "\n";
}

}  // namespace

std::string FunctionText(int functionCode)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", functionCode & 0xFF);
    return buf;
}

int DisplayWidth(const std::string& text)
{
    int width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        width += len >= 3 ? 2 : 1;
        i += len;
    }
    return width;
}

std::vector<std::vector<std::string>> IoMapCells(const IoMap& map)
{
    std::vector<std::vector<std::string>> cells;
    std::vector<std::string> header;
    std::string text = IO_MAP_CSV_HEADER;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        header.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    cells.push_back(header);
    for (bool statusRows : {false, true})
        for (const IoMapPort& port : map.ports)
            for (const IoMapRow& row : port.rows)
                if (IsStatus(row) == statusRows) cells.push_back(IoMapRowCells(port.port, row));
    return cells;
}

std::string FormatIoMapCsv(const IoMap& map)
{
    std::string out = "\xEF\xBB\xBF";
    for (const auto& row : IoMapCells(map)) {
        for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "," : "") + CsvField(row[i]);
        out += "\r\n";
    }
    return out;
}

std::string FormatIoMapTabs(const IoMap& map)
{
    std::string out;
    for (const auto& row : IoMapCells(map)) {
        for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "\t" : "") + row[i];
        out += "\n";
    }
    return out;
}

std::string FormatIoMapText(const IoMap& map)
{
    std::string out = "deviceIp: " + map.deviceIp + "\ndeviceSlotNum: " + Num(map.deviceSlotNum) +
                      "\nimage: " + std::to_string(map.image.size()) + " bytes, CRC " +
                      Hex4(map.crc) + "\n" + TotalsLine(map);
    if (map.ports.empty()) return out + "no port configured\n";
    out += std::string(PER_PORT_NOTE) + "\n";
    for (const IoMapPort& port : map.ports) {
        out += "\n" + PortLine(port);
        for (const std::string& line : port.serialLines) out += "  " + line + "\n";
        out += "  " + PortHeaderNote(port) + "\n";
        out += "  slot  " + Pad("command", 26) + Pad("slave", 7) + Pad("fn", 6) + Pad("start", 7) +
               Pad("reference", 11) + Pad("qty", 6) + Pad("EIP bytes", 17) + "size\n";
        for (const IoMapRow& row : port.rows) {
            const bool cmd = IsCommand(row);
            std::string line =
                "  " + Pad(Num(row.slot), 6) + Pad(row.label, 26) +
                Pad(cmd ? Num(row.slave) : "", 7) + Pad(cmd ? FunctionText(row.function) : "", 6) +
                Pad(cmd ? Num(row.start) : "", 7) + Pad(cmd ? row.reference : "", 11) +
                Pad(cmd ? Num(row.quantity) : "", 6) + Pad(RangeText(row), 17) + Num(row.bytes) +
                " B / " + Num(row.words) + " W";
            out += line + "\n";
        }
    }
    return out;
}

std::string FormatShowLines(const IoMap& map)
{
    std::string out = TotalsLine(map);
    for (const IoMapPort& port : map.ports) {
        out += PortLine(port);
        for (const std::string& line : port.serialLines) out += "  " + line + "\n";
        out += "  slot  " + Pad("command", 27) + Pad("slave", 7) + Pad("start", 7) + Pad("qty", 6) +
               "EIP range\n";
        for (const IoMapRow& row : port.rows) {
            std::string line = "  " + Pad(Num(row.slot), 6) + Pad(row.label, 27);
            if (IsCommand(row))
                line += Pad(Num(row.slave), 7) + Pad(Num(row.start), 7) + Pad(Num(row.quantity), 6);
            const std::string range = RangeText(row);
            out += line + (range.empty() ? "" : range) + "\n";
        }
    }
    return out;
}

std::string FormatIoMapJson(const IoMap& map)
{
    using nlohmann::ordered_json;
    ordered_json root;
    root["deviceIp"] = map.deviceIp;
    root["deviceSlotNum"] = map.deviceSlotNum;
    root["imageSize"] = map.image.size();
    root["crc"] = Hex4(map.crc);
    root["allInLength"] = map.allIn;
    root["allOutLength"] = map.allOut;
    root["note"] = PER_PORT_NOTE;
    root["ports"] = ordered_json::array();
    for (const IoMapPort& port : map.ports) {
        ordered_json p;
        p["port"] = PortName(port.port);
        p["inLength"] = port.inLength;
        p["outLength"] = port.outLength;
        p["serial"] = port.serialLines;
        p["bytes0to1"] = PortHeaderNote(port);
        p["rows"] = ordered_json::array();
        for (const IoMapRow& row : port.rows) {
            ordered_json r;
            r["slot"] = row.slot;
            r["command"] = row.label;
            r["kind"] = IsCommand(row) ? "command" : IsStatus(row) ? "statusTable" : "other";
            if (IsCommand(row)) {
                r["slave"] = row.slave;
                r["function"] = row.function;
                r["start"] = row.start;
                r["reference"] = row.reference;
                r["quantity"] = row.quantity;
            }
            r["direction"] = row.direction;
            if (row.hasRange) {
                r["first_byte"] = row.firstByte;
                r["last_byte"] = row.lastByte;
            }
            r["bytes"] = row.bytes;
            r["words"] = row.words;
            p["rows"].push_back(r);
        }
        root["ports"].push_back(p);
    }
    return root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace varnel
