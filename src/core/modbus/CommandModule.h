#pragma once
// Whether a stored command module keeps the command table: its six parameter
// bytes and its data lengths, as the catalogue and the command editor make
// them. For modules that arrive from outside the program (the JSON form).
#include <optional>
#include <string>

#include "core/model/CModule.h"

namespace varnel {

// The field of a module that breaks the table, and how.
struct ModuleFault {
    std::string field;    // "modulePrm", "inputLen" or "outputLen"
    std::string problem;  // what is wrong, in a few words
};

// Checks a module whose name is a command type's label: 6 parameter bytes,
// the type's function code, a quantity within the type's limit, and the data
// lengths its quantity gives. Nothing for a module of another name.
std::optional<ModuleFault> CheckCommandModule(const CModule& module);

}  // namespace varnel
