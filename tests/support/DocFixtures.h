#pragma once
// Short ways to build documents, modules and checked images for the core tests.
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/model/AppFolder.h"
#include "core/model/CVarnelDoc.h"
#include "core/project/OptionFile.h"
#include "core/view/Selection.h"
#include "support/TestSupport.h"

namespace docfixtures {

using namespace varnel;

// Hex text as bytes: H("01 0a ff").
inline Bytes H(const std::string& hex)
{
    return testsupport::Bytes(hex);
}

// A new document as the program makes it (the address from the option file
// of the data folder), with `ports` set up in order.
inline CVarnelDoc NewDoc(std::initializer_list<Port> ports = {})
{
    CVarnelDoc doc;
    doc.appFolder = ProgramDataFolder();
    doc.OnNewDocument();
    ReadAccessAddress(doc);
    for (Port port : ports) SetupPort(doc, port);
    return doc;
}

// User slot n (from 1) of a port.
inline SlotRef User(Port port, int n)
{
    return {port, UserSlotIndex(n)};
}

// Places a command at the slot a selection code names.
inline void PlaceAt(CVarnelDoc& doc, int code, std::string_view label, std::uint16_t start,
                    std::uint16_t qty, std::uint8_t slave)
{
    PlaceModule(doc, *SelectionToSlot(code), label, start, qty, slave);
}

// The rows of a table in tests/data: one case per line, fields split at
// " | ", "" for an empty field; blank lines and lines starting with '#' are
// skipped.
inline std::vector<std::vector<std::string>> Rows(const std::string& name)
{
    std::istringstream in(
        testsupport::ReadFile(std::filesystem::path(VARNEL_SOURCE_DIR) / "tests/data" / name));
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string>& fields = rows.emplace_back();
        for (std::size_t at = 0, bar = 0; bar != std::string::npos; at = bar + 3) {
            bar = line.find(" | ", at);
            fields.push_back(line.substr(at, bar - at));
            if (fields.back() == "\"\"") fields.back().clear();
        }
    }
    EXPECT_FALSE(rows.empty()) << name;
    return rows;
}

// A module with a name, parameter bytes in hex and its data lengths.
inline CModule Module(const char* name, const char* prm, int in, int out)
{
    CModule m;
    m.moduleName = name;
    m.modulePrm = H(prm);
    m.inputLen = in;
    m.outputLen = out;
    return m;
}

// A module's parameter bytes, data lengths and picture in one line:
// "01 03 00 00 00 01 2/0 m03".
inline std::string Contents(const CModule& m)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : m.modulePrm) out += {digits[b >> 4], digits[b & 15], ' '};
    return out + std::to_string(m.inputLen) + "/" + std::to_string(m.outputLen) + " " + m.picture;
}

// Bit-by-bit CRC-16/MODBUS, written independently of the table-driven one.
inline std::uint16_t ReferenceCrc(const Bytes& data)
{
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t byte : data) {
        crc ^= byte;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// `body` followed by its reference CRC, high byte first.
inline Bytes WithCrc(Bytes body)
{
    const std::uint16_t crc = ReferenceCrc(body);
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return body;
}

}  // namespace docfixtures
