// varnelctl end to end: one happy path per command group, and the failures
// only the command line has: usage errors, --force refusals, the project lock.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "cli/CliTestSupport.h"

using testsupport::ReadFile;
using testsupport::RunResult;

namespace {

class Varnelctl : public clitest::CliTest {
protected:
    void SetUp() override
    {
        testsupport::MakeHome(home.path());
        project = Path("p.json");
        Ok({"new", project});
    }
    // Runs a command that succeeds and says what it did in one line.
    RunResult Done(const std::vector<std::string>& args, const std::string& line)
    {
        const RunResult r = Ok(args);
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
        return r;
    }
    std::string project;
};

TEST_F(Varnelctl, BuildChangeShowAndCompileAConfiguration)
{
    Done({"setup-port", project, "COM1"}, "set up the Modbus master of COM1");
    Done({"add", project, "COM1", "1", "读4区 03H", "--slave", "1", "--qty", "10"},
         "added 读4区 03H (slave 1, start 0, quantity 10) to COM1 slot 1");
    Done({"add", project, "COM1", "2", "0x10", "--slave", "1", "--start", "100", "--qty", "10"},
         "to COM1 slot 2");
    Done({"add", project, "COM1", "3", "01"}, "to COM1 slot 3");
    Done({"serial", project, "COM1", "--monitor", "3", "--baud", "19.2K", "--update", "1"},
         "19.2K");
    Done({"edit", project, "COM1", "3", "--qty", "17"}, "quantity 17");
    Done({"delete", project, "COM1:3"}, "deleted COM1 slot 3 (读0区 01H)");
    Done({"ip", project, "10.0.0.7"}, "10.0.0.7");
    Done({"slots", project, "054"}, "set the user slot count to 54");
    const RunResult show = Ok({"show", project});
    for (const char* text : {"deviceIp: 10.0.0.7", "deviceSlotNum: 54", "eipIN 2..21",
                             "eipOUT 2..21", "19.2K", "At Evry MD End"})
        EXPECT_NE(show.out.find(text), std::string::npos) << text << "\n" << show.out;
    EXPECT_EQ(show.out.find("读0区"), std::string::npos);

    Done({"compile", project}, "image: 47 bytes");
    const std::string hex = ReadFile(home / "HEX" / "hex.txt");
    EXPECT_EQ(hex.substr(0, 24), "01 00 22 06 00 03 42 14 ");
    EXPECT_EQ(Ctl({"compile", project, "-o", "-"}).out, hex);
    EXPECT_EQ(Ctl({"show", project}).out, show.out);  // the project is never rewritten
    Done({"export", project, "-o", Path("out.json")}, "exported");
    Done({"import", Path("out.json"), "-o", Path("copy.json")}, "imported");
    EXPECT_EQ(ReadFile(home / "copy.json"), ReadFile(project));
    Done({"delete", project, "COM1", "--force"}, "deleted the Modbus master of COM1 with");
    Done({"access", "10.0.0.9"}, "stored access address 10.0.0.9");
}

TEST_F(Varnelctl, RefusalsNameWhatIsWrongAndChangeNothing)
{
    Ok({"setup-port", project, "COM2"});
    Ok({"add", project, "COM2", "1", "03"});
    Ok({"add", project, "COM2", "10", "03"});
    std::filesystem::create_directory(home / "dir.json");
    const std::string before = ReadFile(project);
    const struct {
        std::vector<std::string> args;
        const char* text;
    } cases[] = {
        {{"add", project, "COM2", "1", "06"}, "COM2 slot 1 (读4区 03H) is occupied"},
        {{"slots", project, "9"}, "leaves out COM2 slot 10 (读4区 03H)"},
        {{"delete", project, "COM2"}, "drops COM2 slot 1 (读4区 03H), COM2 slot 10"},
        {{"compile", project, "-o", Path("./p.json")}, "is the project itself"},
        {{"export", project, "-o", project}, "is the project itself"},
        {{"add", project, "COM2", "2", "03", "--qty", "126"}, "长度请添入一个1和125之间的整数"},
        {{"add", project, "COM2", "11", "03"}, "槽号 11"},
        {{"edit", project, "COM2", "2"}, "没有可编辑的命令"},
        {{"delete", project, "COM2:5"}, "是空的"},
        {{"serial", project, "COM1", "--baud", "9600"}, "COM1 未配置"},
        {{"show", Path("missing.json")}, "missing.json"},
        {{"show", Path("dir.json")}, "is a directory"},
        {{"show", Path("p.txt")}, ".vrc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const RunResult r = Ctl(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(project), before);
    }
    Done({"slots", project, "9", "--force"}, "leaving out COM2 slot 10 (读4区 03H)");
    const std::string shown = Ctl({"show", project}).out;
    EXPECT_EQ(shown.find("读4区"), shown.rfind("读4区"));  // only slot 1 is shown
}

TEST_F(Varnelctl, UsageErrorsExitTwo)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"frobnicate"}, {"add", project, "COM3", "1", "03"},
          {"add", project, "COM1", "1", "99"}, {"add", project, "COM1", "0", "03"},
          {"delete", project, "COM1:0"}, {"serial", project, "COM2", "--baud", "9"},
          {"export", project}, {"ip", project, "10.0.0.256"}, {"ip", project, "127.010.4.1"},
          {"ip", project, "1.2.3"}, {"access", ""}, {"access", "010.0.0.1"}}) {
        const RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args.back());
        const bool address = args.size() > 1 && (args[0] == "ip" || args[0] == "access");
        EXPECT_TRUE(!address || r.err.find("bad address") != std::string::npos) << r.err;
    }
    const RunResult help = Ok({"--help"});
    for (const char* command : {"download", "dhcp-server", "decode", "slots PROJECT N [--force]"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    EXPECT_NE(Ok({"add", "--help"}).out.find("03  1-125   读4区 03H"), std::string::npos);
}

TEST_F(Varnelctl, ConcurrentEditsAreSerialisedByTheLock)
{
    Ok({"setup-port", project, "COM1"});
    Ok({"setup-port", project, "COM2"});
    Ok({"slots", project, "25"});
    auto adds = [this](const char* port) {
        for (int slot = 1; slot <= 25; ++slot)
            EXPECT_EQ(Ctl({"add", project, port, std::to_string(slot), "03"}).exitCode, 0);
    };
    std::thread other(adds, "COM1");
    adds("COM2");
    other.join();
    const std::string shown = Ctl({"show", project}).out;
    std::size_t commands = 0;
    for (std::size_t at = 0; (at = shown.find("读4区 03H", at)) != std::string::npos; ++at)
        ++commands;
    EXPECT_EQ(commands, 50u);

    // A project held longer than the wait: a message, exit 1, nothing changed.
    const std::string before = ReadFile(project);
    const int fd = ::open(project.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    extraEnv = {"VARNEL_LOCK_WAIT_MS=200"};
    const RunResult r = Ctl({"ip", project, "10.0.0.8"});
    ::close(fd);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("another process is changing this project"), std::string::npos);
    EXPECT_EQ(ReadFile(project), before);
}

}  // namespace
