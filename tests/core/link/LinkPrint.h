#pragma once
// Readable actions in test failures instead of raw bytes.
#include <ostream>

#include "core/link/LinkSession.h"

namespace varnel {
inline void PrintTo(const LinkAction& action, std::ostream* os) { *os << Describe(action); }
}  // namespace varnel
