#include "net/ModbusRtuLine.h"

#include <modbus.h>

#include <cerrno>

namespace varnel {

ModbusRtuLine::~ModbusRtuLine()
{
    Close();
}

void ModbusRtuLine::Close()
{
    if (ctx != nullptr) {
        modbus_close(ctx);
        modbus_free(ctx);
        ctx = nullptr;
    }
}

Status ModbusRtuLine::Open(const std::string& device, const LineSettings& line, int timeoutMs)
{
    Close();
    ctx = modbus_new_rtu(device.c_str(), line.baud, line.parity, line.dataBits, line.stopBits);
    if (ctx == nullptr)
        return Refuse(Code::SerialOpenFailed,
                      "cannot configure " + device + ": " + modbus_strerror(errno));
    modbus_set_response_timeout(ctx, static_cast<std::uint32_t>(timeoutMs / 1000),
                                static_cast<std::uint32_t>(timeoutMs % 1000) * 1000);
    if (modbus_connect(ctx) != 0) {
        const int error = errno;
        modbus_free(ctx);
        ctx = nullptr;
        // Opened but refused the line settings (not a terminal, a rate the
        // adapter lacks), or not opened at all.
        const bool configure = error == ENOTTY || error == EINVAL;
        return Refuse(Code::SerialOpenFailed, (configure ? "cannot configure " : "cannot open ") +
                                                  device + ": " + modbus_strerror(error));
    }
    return {};
}

namespace {
// The outcome of a call that failed with `error` (errno).
PollOutcome Failure(int error)
{
    PollOutcome o;
    if (error == ETIMEDOUT) {
        o.status = PollStatus::Timeout;
    } else if (error == EMBBADCRC) {
        o.status = PollStatus::CrcError;
    } else if (error > MODBUS_ENOBASE && error <= EMBXGTAR) {
        o.status = PollStatus::Exception;
        o.exception = error - MODBUS_ENOBASE;
    } else {
        o.status = PollStatus::FramingError;
        o.detail = modbus_strerror(error);
    }
    return o;
}
}  // namespace

PollOutcome ModbusRtuLine::Run(const PollRequest& r, const std::vector<std::uint16_t>& writeValues)
{
    PollOutcome o;
    if (r.isWrite && writeValues.size() != r.quantity) {
        o.status = PollStatus::Skipped;  // never a write of values nobody gave
        return o;
    }
    if (modbus_set_slave(ctx, r.slave) != 0) {
        o.status = PollStatus::FramingError;
        o.detail = "slave address " + std::to_string(r.slave) + " cannot be sent";
        return o;
    }
    // A late answer to an earlier request must not pass for this one's.
    modbus_flush(ctx);
    const int q = r.quantity;
    std::vector<std::uint16_t> regs(static_cast<std::size_t>(q));
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(q));
    std::vector<std::uint8_t> outBits(writeValues.begin(), writeValues.end());
    int rc = -1;
    switch (r.function) {
        case 0x01: rc = modbus_read_bits(ctx, r.start, q, bits.data()); break;
        case 0x02: rc = modbus_read_input_bits(ctx, r.start, q, bits.data()); break;
        case 0x03: rc = modbus_read_registers(ctx, r.start, q, regs.data()); break;
        case 0x04: rc = modbus_read_input_registers(ctx, r.start, q, regs.data()); break;
        case 0x05: rc = modbus_write_bit(ctx, r.start, writeValues.at(0) != 0 ? 1 : 0); break;
        case 0x06: rc = modbus_write_register(ctx, r.start, writeValues.at(0)); break;
        case 0x0F: rc = modbus_write_bits(ctx, r.start, q, outBits.data()); break;
        case 0x10: rc = modbus_write_registers(ctx, r.start, q, writeValues.data()); break;
        default: errno = EMBXILFUN; break;
    }
    if (rc < 0) return Failure(errno);
    if (r.isWrite) {
        o.status = PollStatus::Written;
        o.values = writeValues;
    } else {
        o.status = PollStatus::Values;
        if (r.isRegister)
            o.values = regs;
        else
            o.values.assign(bits.begin(), bits.end());
    }
    return o;
}

}  // namespace varnel
