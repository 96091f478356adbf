#include "core/modbus/CommandModule.h"

#include <cstdio>

#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"

namespace varnel {

namespace {
std::string Hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}
}  // namespace

std::optional<ModuleFault> CheckCommandModule(const CModule& module)
{
    const CommandType* type = FindCommandType(module.moduleName);
    if (type == nullptr) return std::nullopt;
    const Bytes& prm = module.modulePrm;
    if (prm.size() != 6)
        return ModuleFault{"modulePrm",
                           "must hold 6 bytes (slave, function, start, quantity), not " +
                               std::to_string(prm.size())};
    if (prm[1] != type->functionCode)
        return ModuleFault{"modulePrm", "names function " + Hex2(prm[1]) + "H, but " +
                                            module.moduleName + " is " + Hex2(type->functionCode) +
                                            "H"};
    const int quantity = prm[4] << 8 | prm[5];
    if (quantity < 1 || quantity > type->maxQuantity)
        return ModuleFault{"modulePrm", "quantity " + std::to_string(quantity) + " is outside 1-" +
                                            std::to_string(type->maxQuantity)};
    const CModule made =
        MakeModule(module.moduleName, static_cast<std::uint16_t>(prm[2] << 8 | prm[3]),
                   static_cast<std::uint16_t>(quantity), prm[0]);
    if (module.inputLen != made.inputLen)
        return ModuleFault{"inputLen", "must be " + std::to_string(made.inputLen) +
                                           " for quantity " + std::to_string(quantity)};
    if (module.outputLen != made.outputLen)
        return ModuleFault{"outputLen", "must be " + std::to_string(made.outputLen) +
                                            " for quantity " + std::to_string(quantity)};
    return std::nullopt;
}

}  // namespace varnel
