#pragma once
// Where the program keeps IP/, HEX/ and BITMAP/.
#include <string>

namespace varnel {

// The folder of the running program file, without a trailing separator.
std::string ProgramFolder();

// The data folder, in this order:
//  1. $VARNEL_HOME when set and not empty;
//  2. the program's own folder when it holds IP/ and is writable (a build
//     tree, or a copy the user unpacked);
//  3. a per-user folder ($XDG_DATA_HOME/varnel, else ~/.local/share/varnel),
//     seeded once from the installed defaults in <prefix>/share/varnel, for a
//     program installed where its own folder is not writable;
//  4. the program's folder otherwise.
std::string ProgramDataFolder();

// Case 3 for a given program folder and per-user folder; returns the user
// folder, after copying any default file it lacks and creating HEX/.
std::string SeedUserDataFolder(const std::string& installedDefaults, const std::string& userFolder);

}  // namespace varnel
