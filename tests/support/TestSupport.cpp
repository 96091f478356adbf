#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir()
{
    std::string name = (std::filesystem::temp_directory_path() / "varnel-test-XXXXXX").string();
    if (!mkdtemp(name.data())) throw std::runtime_error("cannot create a temporary folder");
    dir = name;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::vector<std::uint8_t> Bytes(const std::string& hex)
{
    std::vector<std::uint8_t> out;
    std::string digits;
    for (char c : hex)
        if (c != ' ') digits += c;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

void MakeHome(const std::filesystem::path& home, const std::string& ip)
{
    std::filesystem::create_directories(home / "IP");
    std::filesystem::create_directories(home / "HEX");
    std::filesystem::create_directories(home / "BITMAP");
    if (!ip.empty())
        WriteFile(home / "IP" / "ETHOption.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ETHOption>\r\n\t<ip>" + ip +
                      "</ip>\r\n</ETHOption>\r\n");
}

HomeEnv::HomeEnv(const std::string& ip)
{
    if (const char* value = std::getenv("VARNEL_HOME")) old = value;
    MakeHome(home.path(), ip);
    ::setenv("VARNEL_HOME", home.str().c_str(), 1);
}

HomeEnv::~HomeEnv()
{
    if (old)
        ::setenv("VARNEL_HOME", old->c_str(), 1);
    else
        ::unsetenv("VARNEL_HOME");
}

RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::vector<std::string>& env, const std::string& input)
{
    // Standard input and both outputs go through files of a folder of their own.
    TempDir io;
    WriteFile(io / "in", input);
    const std::string paths[3] = {(io / "in").string(), (io / "out").string(),
                                  (io / "err").string()};
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        for (int fd = 0; fd < 3; ++fd) {
            const int file = open(paths[fd].c_str(), fd == 0 ? O_RDONLY : O_WRONLY | O_CREAT, 0600);
            dup2(file, fd);
            close(file);
        }
        for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return {code, ReadFile(io / "out"), ReadFile(io / "err")};
}

}  // namespace testsupport
