#pragma once
// Helpers shared by the test programs: temporary folders, file contents and
// running the command-line program.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system temp folder, removed when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return dir; }
    std::string str() const { return dir.string(); }
    std::filesystem::path operator/(const std::string& name) const { return dir / name; }

private:
    std::filesystem::path dir;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

// Hex text "01 0a ff" (spaces optional) as bytes, for readable expectations.
std::vector<std::uint8_t> Bytes(const std::string& hex);

// A VARNEL_HOME folder with IP/, HEX/ and BITMAP/ (and an option file whose
// ip is `ip` unless it is empty).
void MakeHome(const std::filesystem::path& home, const std::string& ip = "192.168.1.10");

// A data folder made by MakeHome(…, ip) that $VARNEL_HOME names while the
// object lives; the variable is restored afterwards.
class HomeEnv {
public:
    explicit HomeEnv(const std::string& ip = "192.168.1.10");
    ~HomeEnv();
    HomeEnv(const HomeEnv&) = delete;
    HomeEnv& operator=(const HomeEnv&) = delete;
    TempDir home;

private:
    std::optional<std::string> old;
};

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell), extra environment entries
// "NAME=value", and optional standard input; captures both output streams.
RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::vector<std::string>& env = {}, const std::string& input = {});

}  // namespace testsupport
