#pragma once
// The slave-status table modules the compiler places behind a port's last
// module, chosen by the port's "slave status monitoring" serial parameter.
#include "core/model/CModule.h"

namespace varnel {

// The module for monitoring choice 1..8; any other choice gives the empty
// module (no table).
CModule MakeStatusTableModule(int choice);

}  // namespace varnel
