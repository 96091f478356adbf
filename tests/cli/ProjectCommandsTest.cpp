// varnelctl end to end: one happy path per command group, and the failures
// only the command line has: usage errors, --force refusals, the project lock.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "cli/CliTestSupport.h"
#include "support/DocFixtures.h"

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
    static int Count(const std::string& text, const std::string& part)
    {
        int n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
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
    for (const char* text :
         {"deviceIp: 10.0.0.7", "deviceSlotNum: 54", "AllInLength: 24  AllOutLength: 22",
          "eipIN 2..21", "eipOUT 2..21", "19.2K", "At Evry MD End"})
        EXPECT_NE(show.out.find(text), std::string::npos) << text << "\n" << show.out;

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

TEST_F(Varnelctl, RefusalsAndUsageErrorsSayWhatIsWrong)
{
    Ok({"setup-port", project, "COM2"});
    Ok({"add", project, "COM2", "1", "03"});
    Ok({"add", project, "COM2", "10", "03"});
    std::filesystem::create_directory(home / "dir.vrc");
    const std::string before = ReadFile(project);
    for (auto row : docfixtures::Rows("cli/refusals.txt")) {
        std::vector<std::string> args(row.begin() + 2, row.end());
        for (auto& arg : args) {
            if (arg.rfind("$P", 0) == 0) arg = project;
            if (arg.rfind("$H", 0) == 0) arg = home.str() + arg.substr(2);
        }
        const RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, std::stoi(row[0])) << row[1];
        EXPECT_NE(r.err.find(row[1]), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(project), before) << row[1];
    }
    // An English locale adds the English after the Chinese; LC_ALL, then
    // LC_MESSAGES, then LANG decides.
    const std::pair<std::vector<std::string>, std::string> locales[] = {
        {{"LC_ALL=", "LC_MESSAGES=", "LANG=en_US.UTF-8"}, " (COM2 slot 5 is empty)"},
        {{"LC_ALL=", "LC_MESSAGES=", "LANG=zh_CN.UTF-8"}, ""},
        {{"LC_ALL=", "LC_MESSAGES=zh_CN.UTF-8", "LANG=en_US.UTF-8"}, ""},
        {{"LANG=en_US.UTF-8"}, ""},  // LC_ALL=C
    };
    for (const auto& [env, english] : locales) {
        extraEnv = env;
        const RunResult r = Ctl({"delete", project, "COM2:5"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "COM2 槽 5 是空的" + english + "\n") << env.back();
    }
    extraEnv.clear();
    Done({"slots", project, "9", "--force"}, "dropping COM2 slot 10 (读4区 03H)");
    EXPECT_EQ(Count(Ctl({"show", project}).out, "读4区"), 1);  // only slot 1 is shown
    const RunResult help = Ok({"--help"});
    for (const char* command : {"download", "dhcp-server", "decode", "slots PROJECT N [--force]"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    EXPECT_NE(Ok({"add", "--help"}).out.find("03  1-125   读4区 03H"), std::string::npos);
}

TEST_F(Varnelctl, ConcurrentEditsAreSerialisedByTheLock)
{
    Ok({"setup-port", project, "COM1"});
    Ok({"setup-port", project, "COM2"});
    Ok({"slots", project, "26"});  // room for the status tables
    auto adds = [this](const char* port) {
        for (int slot = 1; slot <= 25; ++slot)
            EXPECT_EQ(Ctl({"add", project, port, std::to_string(slot), "03"}).exitCode, 0);
    };
    std::thread other(adds, "COM1");
    adds("COM2");
    other.join();
    EXPECT_EQ(Count(Ctl({"show", project}).out, "读4区 03H"), 50);

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
