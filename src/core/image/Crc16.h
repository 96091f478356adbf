#pragma once
// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final XOR.
#include <cstddef>
#include <cstdint>

namespace varnel {

std::uint16_t Crc16Modbus(const std::uint8_t* data, std::size_t size);

}  // namespace varnel
