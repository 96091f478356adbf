#pragma once
// The I/O map: where every Modbus value of a configuration lands in the
// EtherNet/IP data of its port, computed from a copy of the document exactly
// as compiling places it (the slave-status table included). The document is
// not changed and no file is written.
#include <cstdint>
#include <string>
#include <vector>

#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

// One occupied user slot of a port.
struct IoMapRow {
    enum class Kind { Command, StatusTable, Other };
    Kind kind = Kind::Other;
    int slot = 0;       // user slot number, 1-based
    std::string label;  // the module's name
    // Command fields (Kind::Command only): as stored in the parameter bytes.
    int slave = 0;
    int function = 0;
    int start = 0;          // Modbus start address, 0-based as stored
    std::string reference;  // conventional 1-based reference, "40001"
    int quantity = 0;
    // The EtherNet/IP side, the numbers the picture shows.
    std::string direction;  // "eipIN", "eipOUT", or empty without data
    bool hasRange = false;
    int firstByte = 0;
    int lastByte = 0;
    int bytes = 0;  // lastByte - firstByte + 1, 0 without a range
    int words = 0;  // bytes / 2 rounded up
};

struct IoMapPort {
    Port port = Port::COM1;
    Bytes serialPrm;                       // the serial parameter bytes as stored
    std::vector<std::string> serialLines;  // "label item" per list
    int inLength = 0;                      // the image's input last offset of the port
    int outLength = 0;                     // the image's output last offset of the port
    int stateInput = 0;                    // input bytes of the STATE module (slot index 0)
    int controlOutput = 0;                 // output bytes of the CONTROL module (slot index 1)
    std::vector<IoMapRow> rows;            // in slot order; the status table last
};

struct IoMap {
    std::string deviceIp;
    int deviceSlotNum = 0;
    std::vector<IoMapPort> ports;  // the enabled ports, COM1 first
    int allIn = 0;                 // the image's input total (AllInLength)
    int allOut = 0;                // the image's output total (AllOutLength)
    Bytes image;                   // the configuration image compiling gives
    std::uint16_t crc = 0;         // its CRC-16/MODBUS
    // The document as compiling leaves it, for drawing the picture.
    CVarnelDoc compiled;
};

// The map of `doc`; refuses as compiling refuses (no room for a status
// table, parameter bytes beyond the image's limits).
Result<IoMap> BuildIoMap(const CVarnelDoc& doc);

// The conventional reference of a Modbus address: the area digit (0 coils,
// 1 discrete inputs, 3 input registers, 4 holding registers) followed by the
// 1-based address, four digits wide up to 9999 and five beyond ("40001",
// "465536"). Empty for a function code that names no area.
std::string ModbusReference(int functionCode, int start);

// What bytes 0-1 of a port's input and output data hold; and that the
// ranges count within each port.
std::string PortHeaderNote(const IoMapPort& port);
inline constexpr const char* PER_PORT_NOTE =
    "Byte ranges count within each port's EtherNet/IP data; how COM1 and COM2 are "
    "combined in the gateway's assembly is not given here.";

}  // namespace varnel
