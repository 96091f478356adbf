#include "core/model/AppFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace varnel {

namespace fs = std::filesystem;

std::string ProgramFolder()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return fs::current_path(ec).string();
    return exe.parent_path().string();
}

namespace {

std::string Trimmed(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string UserDataRoot()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/')
        return Trimmed(xdg) + "/varnel";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return Trimmed(home) + "/.local/share/varnel";
    return {};
}

}  // namespace

std::string SeedUserDataFolder(const std::string& installedDefaults, const std::string& userFolder)
{
    std::error_code ec;
    for (const char* sub : {"IP", "HEX", "BITMAP"})
        fs::create_directories(fs::path(userFolder) / sub, ec);
    for (const char* file : {"IP/ETHOption.xml", "BITMAP/module.bmp"}) {
        const fs::path from = fs::path(installedDefaults) / file;
        const fs::path to = fs::path(userFolder) / file;
        if (fs::exists(from, ec) && !fs::exists(to, ec)) fs::copy_file(from, to, ec);
    }
    return userFolder;
}

std::string ProgramDataFolder()
{
    if (const char* home = std::getenv("VARNEL_HOME"); home != nullptr && *home != '\0')
        return Trimmed(home);
    const std::string program = ProgramFolder();
    std::error_code ec;
    if (fs::is_directory(fs::path(program) / "IP", ec) && ::access(program.c_str(), W_OK) == 0)
        return program;
    const fs::path installed = fs::path(program).parent_path() / "share" / "varnel";
    const std::string user = UserDataRoot();
    if (!user.empty() && fs::is_directory(installed, ec))
        return SeedUserDataFolder(installed.string(), user);
    return program;
}

}  // namespace varnel
