#pragma once
// What a port's Modbus master does on its serial line, read from the
// configuration: the line settings of its serial parameters, the pacing
// and modes of the scan, and its requests in slot order with the
// EtherNet/IP bytes each one fills or takes. Used to try a configuration
// against real slaves (varnelctl poll) and by the simulator's serial master.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/image/ImageDecoder.h"
#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

struct LineSettings {
    int baud = 9600;
    int dataBits = 8;
    char parity = 'N';  // 'N', 'E' or 'O'
    int stopBits = 1;

    bool operator==(const LineSettings&) const = default;
};

// One Modbus request of the port, as the gateway issues it.
struct PollRequest {
    int slot = 0;  // user slot number (1..54), as show and add count
    std::string label;
    std::uint8_t slave = 0;
    std::uint8_t function = 0;
    std::uint16_t start = 0;
    std::uint16_t quantity = 0;
    bool isWrite = false;
    bool isRegister = false;
    // Its EtherNet/IP bytes: input data for a read, output data for a write.
    bool hasRange = false;
    std::int32_t first = 0;
    std::int32_t last = 0;
};

struct PollPlan {
    Port port = Port::COM1;
    LineSettings line;
    int timerMs = 200;               // timer value of the serial parameters
    bool updateEachCommand = false;  // "At Evry MD End" rather than "At MD_scan End"
    bool writeOnChange = false;      // "Write on change" rather than "Write always"
    bool sameInterval = true;        // "Same Interval" rather than "Time of Reply"
    int inputSize = 2;               // bytes of input data up to the last range
    int outputSize = 2;
    std::vector<PollRequest> requests;
};

// The line settings that five or more serial parameter bytes give; refused
// (SerialUnknown) for a baud or format code outside its list.
Result<LineSettings> LineSettingsOf(const Bytes& comPrm);

// The plan of a port of the document; refused (PortNotSetUp) when the port
// is not set up, (SerialUnknown) when its serial parameters name no setting.
Result<PollPlan> MakePollPlan(const CVarnelDoc& doc, Port port);

// The plan of a port of a decoded image (slots numbered in image order).
Result<PollPlan> MakePollPlan(const DecodedImage& image, Port port);

// "8N1 9600" style text of the settings.
std::string DescribeLine(const LineSettings& line);

}  // namespace varnel
