#pragma once
// Building a port's Modbus master in the document: the fixed modules, command
// modules placed at the selection, and editing a placed command.
#include <cstdint>
#include <string_view>

#include "core/model/CVarnelDoc.h"

namespace varnel {

// The three numbers of one Modbus command as the command editor holds them.
struct CommandFields {
    std::uint8_t slaveAddress = 0;
    std::uint16_t startAddress = 0;
    std::uint16_t quantity = 1;
};

// The module a label stands for: a command type, or STATE/CONTROL/COMPRM;
// any other label gives a module with only its name set.
CModule MakeModule(std::string_view label, std::uint16_t startAddress, std::uint16_t quantity,
                   std::uint8_t slaveAddress);

// Places the module of `label` into the selected slot and moves the selection
// to the next user slot (it stays on the last one). Nothing happens when no
// slot (or a port head) is selected.
void PlaceModule(CVarnelDoc& doc, std::string_view label, std::uint16_t startAddress,
                 std::uint16_t quantity, std::uint8_t slaveAddress);

// Sets a port up: enables it, fills its three fixed slots with default
// modules and selects its first user slot. User slots keep their modules.
void SetupPort(CVarnelDoc& doc, Port port);

// The command fields of a command module; false when it has fewer than six
// parameter bytes (such a module is not edited).
bool ReadCommandFields(const CModule& module, CommandFields& fields);

// Writes confirmed command fields back: slave, start and quantity bytes (the
// function code byte is kept) and the data lengths, keeping the direction.
void ApplyCommandEdit(CModule& module, const CommandFields& fields);

}  // namespace varnel
