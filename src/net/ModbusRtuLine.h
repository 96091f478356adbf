#pragma once
// A Modbus RTU master on a serial device, through libmodbus: opens the
// device with a port's line settings and runs one request of a poll plan
// at a time, blocking until the answer or the time-out. Used by varnelctl
// poll and the simulator's serial master. A USB-RS-485 adapter is named by
// its device (/dev/ttyUSB0); a pseudo-terminal works the same way.
#include <cstdint>
#include <string>
#include <vector>

#include "core/modbus/PollOutcome.h"
#include "core/modbus/PollPlan.h"
#include "core/util/Result.h"

typedef struct _modbus modbus_t;

namespace varnel {

class ModbusRtuLine {
public:
    ModbusRtuLine() = default;
    ~ModbusRtuLine();
    ModbusRtuLine(const ModbusRtuLine&) = delete;
    ModbusRtuLine& operator=(const ModbusRtuLine&) = delete;

    // Opens and configures `device` (closing what was open); refused
    // (SerialOpenFailed) naming the device and the system's reason.
    Status Open(const std::string& device, const LineSettings& line, int timeoutMs);
    // Sends one request and waits for its answer. A write sends `writeValues`
    // (one per coil or register).
    void Close();
    bool IsOpen() const { return ctx != nullptr; }
    PollOutcome Run(const PollRequest& request, const std::vector<std::uint16_t>& writeValues = {});

private:
    modbus_t* ctx = nullptr;
};

}  // namespace varnel
