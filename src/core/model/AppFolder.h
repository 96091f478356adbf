#pragma once
// Where the program keeps IP/, HEX/ and BITMAP/.
#include <string>

namespace varnel {

// The folder of the running program file, without a trailing separator.
std::string ProgramFolder();

// The data folder: $VARNEL_HOME when set and not empty, else ProgramFolder().
std::string ProgramDataFolder();

}  // namespace varnel
