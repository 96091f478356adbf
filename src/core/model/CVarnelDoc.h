#pragma once
// The document: the whole configuration of one gateway, a plain value. The
// selection lives with the view's owner, not here.
#include <array>
#include <cstdint>
#include <string>

#include "core/model/CModule.h"

namespace varnel {

enum class Port { COM1 = 0, COM2 = 1 };

inline const char* PortName(Port port)
{
    return port == Port::COM1 ? "COM1" : "COM2";
}

class CVarnelDoc {
public:
    // 3 fixed slots (STATE, CONTROL, COMPRM) and up to 54 user slots.
    static constexpr int RACK_SIZE = 57;
    static constexpr int FIXED_SLOTS = 3;
    static constexpr int MAX_USER_SLOTS = 54;

    using Rack = std::array<CSlot, RACK_SIZE>;

    std::int32_t com1Enabled = 0;
    std::int32_t com2Enabled = 0;
    Rack com1Slots;
    Rack com2Slots;
    std::string deviceIp;
    std::int32_t deviceSlotNum = 10;
    // The program's data folder, resolved once at start-up by the front end;
    // new keeps it.
    std::string appFolder;
    // The document's modified flag (set by the operations that change modules).
    bool modified = false;

    // New document: defaults and empty racks; touches no file. The address
    // then comes from the option file: ReadAccessAddress (OptionFile.h).
    bool OnNewDocument();

    // Slot access by port and index 0..56; other indices throw
    // std::invalid_argument, which the project reader turns into its format error.
    CSlot& Slot(Port port, int index);
    const CSlot& Slot(Port port, int index) const;
    Rack& Slots(Port port) { return port == Port::COM1 ? com1Slots : com2Slots; }
    const Rack& Slots(Port port) const { return port == Port::COM1 ? com1Slots : com2Slots; }
    std::int32_t& Enabled(Port port) { return port == Port::COM1 ? com1Enabled : com2Enabled; }
    std::int32_t Enabled(Port port) const { return port == Port::COM1 ? com1Enabled : com2Enabled; }

    // Last rack index of the configuration: deviceSlotNum + 2.
    int LastConfigIndex() const { return deviceSlotNum + 2; }

    // Paths of the files the program keeps in its folder.
    std::string OptionFilePath() const { return appFolder + "/IP/ETHOption.xml"; }
    std::string HexFilePath() const { return appFolder + "/HEX/hex.txt"; }
    std::string ModulePicturePath() const { return appFolder + "/BITMAP/module.bmp"; }
};

// Rack indices of the fixed modules; user slot n (counted from 1) is index n + 2.
inline constexpr int STATE_INDEX = 0;
inline constexpr int CONTROL_INDEX = 1;
inline constexpr int SERIAL_PARAMS_INDEX = 2;
inline constexpr int FIRST_USER_INDEX = 3;
constexpr int UserSlotIndex(int userSlot)
{
    return userSlot + 2;
}
constexpr int UserSlotNumber(int index)
{
    return index - 2;
}

// A place an operation acts on: a rack index 0..56 of a port, or PORT_HEAD,
// the port's Modbus master as a whole.
struct SlotRef {
    static constexpr int PORT_HEAD = -1;

    Port port = Port::COM1;
    int index = PORT_HEAD;

    bool IsHead() const { return index == PORT_HEAD; }
    bool InRack() const { return index >= 0 && index < CVarnelDoc::RACK_SIZE; }
    bool operator==(const SlotRef&) const = default;
};

}  // namespace varnel
