#pragma once
// Building a port's Modbus master in the document: the fixed modules, command
// modules placed in a slot, editing a placed command, and the one codec of
// the six command bytes.
#include <cstdint>
#include <span>
#include <string_view>

#include "core/model/CVarnelDoc.h"
#include "core/util/Result.h"

namespace varnel {

// The three numbers of one Modbus command as the command editor holds them.
struct CommandFields {
    std::uint8_t slaveAddress = 0;
    std::uint16_t startAddress = 0;
    std::uint16_t quantity = 1;

    bool operator==(const CommandFields&) const = default;
};

// One Modbus request as a command module and the image hold it, 6 bytes:
//   [0] slave address  [1] function code
//   [2] start address, high  [3] start address, low
//   [4] quantity, high       [5] quantity, low
inline constexpr std::size_t COMMAND_BYTES = 6;
struct CommandBytes {
    std::uint8_t functionCode = 0;
    CommandFields fields;
};
Bytes EncodeCommand(const CommandBytes& command);
// The first six bytes; Code::NotACommand ("没有可编辑的命令") when fewer.
Result<CommandBytes> DecodeCommand(std::span<const std::uint8_t> bytes);

// The module a label stands for: a command type, or STATE/CONTROL/COMPRM;
// any other label gives a module with only its name set.
CModule MakeModule(std::string_view label, std::uint16_t startAddress, std::uint16_t quantity,
                   std::uint8_t slaveAddress);

// Places the module of `label` into `target`, replacing what it held.
// Nothing happens for a port head or an index outside the rack.
void PlaceModule(CVarnelDoc& doc, SlotRef target, std::string_view label,
                 std::uint16_t startAddress, std::uint16_t quantity, std::uint8_t slaveAddress);

// Sets a port up: enables it and fills its three fixed slots with default
// modules. User slots keep their modules.
void SetupPort(CVarnelDoc& doc, Port port);

// The command fields of a command module; Code::NotACommand for an empty
// module, a status table or fewer than six parameter bytes.
Result<CommandFields> ReadCommandFields(const CModule& module);

// Writes confirmed command fields back: slave, start and quantity bytes (the
// function code byte is kept) and the data lengths, keeping the direction.
void ApplyCommandEdit(CModule& module, const CommandFields& fields);

}  // namespace varnel
