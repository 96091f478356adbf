#include "core/model/AppFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace varnel {

std::string ProgramFolder()
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return std::filesystem::current_path(ec).string();
    return exe.parent_path().string();
}

std::string ProgramDataFolder()
{
    const char* home = std::getenv("VARNEL_HOME");
    if (home != nullptr && *home != '\0') {
        std::string folder = home;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        return folder;
    }
    return ProgramFolder();
}

}  // namespace varnel
