#pragma once
// The eight Modbus command types a port's master can issue, and the fixed
// modules of a port. Module kinds are told apart by their exact label.
#include <array>
#include <cstdint>
#include <string_view>

namespace varnel {

struct CommandType {
    std::string_view label;     // the catalogue text, becomes moduleName
    std::string_view picture;   // short picture name stored with the module
    std::uint8_t functionCode;  // Modbus function code
    int maxQuantity;            // quantity limit (1..maxQuantity)
    bool isWrite;               // data goes out (outputLen) rather than in
    bool isRegister;            // registers (2 bytes each) rather than bits
};

// The command types in catalogue order.
const std::array<CommandType, 8>& CommandTypes();
// The type with exactly this label, or nullptr.
const CommandType* FindCommandType(std::string_view label);
// The type with this function code, or nullptr.
const CommandType* FindCommandTypeByCode(std::uint8_t functionCode);

// The quantity of this command type is always 1 (05H, 06H): the editor's
// quantity field is fixed.
bool HasFixedQuantity(std::string_view label);
// Registers (2 bytes per unit) rather than coils or inputs.
bool IsRegisterCommand(std::string_view label);

// Writes that may not overlap each other: coils with coils, registers with
// registers. Reads belong to no group.
enum class WriteGroup { None, Coils, Registers };
WriteGroup WriteGroupOf(std::string_view label);

inline constexpr std::string_view LABEL_READ_COILS = "读0区 01H";
inline constexpr std::string_view LABEL_READ_INPUTS = "读1区 02H";
inline constexpr std::string_view LABEL_READ_HOLDING = "读4区 03H";
inline constexpr std::string_view LABEL_READ_INPUT_REGS = "读3区 04H";
inline constexpr std::string_view LABEL_WRITE_COIL = "写0区 05H 写单线圈";
inline constexpr std::string_view LABEL_WRITE_REGISTER = "写4区 06H 写单字";
inline constexpr std::string_view LABEL_WRITE_COILS = "写0区 0FH 写多线圈";
inline constexpr std::string_view LABEL_WRITE_REGISTERS = "写4区 10H 写多字";

inline constexpr std::string_view MODULE_STATE = "STATE";
inline constexpr std::string_view MODULE_CONTROL = "CONTROL";
inline constexpr std::string_view MODULE_COMPRM = "COMPRM";

}  // namespace varnel
