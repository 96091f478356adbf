#pragma once
// The document: the whole configuration of one gateway, plus the selection
// shared by the view, the catalogue and the editors.
#include <array>
#include <cstdint>
#include <string>

#include "core/model/CModule.h"

namespace varnel {

enum class Port { COM1 = 0, COM2 = 1 };

inline const char* PortName(Port port) { return port == Port::COM1 ? "COM1" : "COM2"; }

class CVarnelDoc {
public:
    // 3 fixed slots (STATE, CONTROL, COMPRM) and up to 54 user slots.
    static constexpr int RACK_SIZE = 57;
    static constexpr int FIXED_SLOTS = 3;
    static constexpr int MAX_USER_SLOTS = 54;
    // Selection codes: the two port heads; slot codes are head + index + 1.
    static constexpr int COM1_HEAD = 0;
    static constexpr int COM2_HEAD = 1000;
    static constexpr int NO_SELECTION = -1;

    using Rack = std::array<CSlot, RACK_SIZE>;

    // Racks of empty slots, nothing selected, empty texts; appFolder is set
    // from the program's data folder so it is never empty.
    CVarnelDoc();

    std::int32_t selectedSlot = NO_SELECTION;
    std::int32_t com1Enabled = 0;
    std::int32_t com2Enabled = 0;
    Rack com1Slots;
    Rack com2Slots;
    std::string deviceIp;
    std::int32_t deviceSlotNum = 10;
    std::string appFolder;
    std::int32_t linkRequestPending = 0;
    // The document's modified flag (set by the operations that change modules).
    bool modified = false;

    // New document: defaults, empty racks, the address from the option file.
    // selectedSlot is left as it was.
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

// Selection code helpers.
struct SlotRef {
    Port port;
    int index;  // rack index 0..56
};
// The port and rack index a slot code names; nothing for -1 and the heads.
bool SelectionToSlot(int selectedSlot, SlotRef& out);
int SlotToSelection(Port port, int index);

}  // namespace varnel
