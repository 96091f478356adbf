// varnelctl poll and the simulator's serial master against
// varnel-modbus-slave, a libmodbus slave on a pseudo-terminal of its own that
// reports the line settings the master set and each request it took.
#include "cli/CliTestSupport.h"

using testsupport::RunResult;

namespace {

// The slave on its pty: address 1 with the known values, address 9 answers
// with a broken CRC, nobody else answers.
class PtySlave : public clitest::SimProcess {
public:
    PtySlave()
        : SimProcess({std::string(VARNEL_BIN_DIR) + "/varnel-modbus-slave", "--pty",
                      "--broken-crc-slave", "9"})
    {
        if (!WaitForLine("\n")) {
            problem = "no pseudo-terminal: " + Output();
            return;
        }
        const std::string& first = Output();
        device = first.substr(first.find(" on ") + 4, first.find('\n') - first.find(" on ") - 4);
    }
    std::string problem;
    std::string device;
};

class PollCli : public clitest::CliTest {
protected:
    void SetUp() override { testsupport::MakeHome(home.path(), ""); }
    // A COM1 project at 19200 baud, 8 data bits, 2 stop bits, with `commands`
    // (TYPE SLAVE START QTY) in slots 1, 2, ...
    std::string Project(const std::vector<std::vector<std::string>>& commands)
    {
        const std::string project = Path("poll.vrc");
        Ok({"new", project});
        Ok({"setup-port", project, "COM1"});
        Ok({"serial", project, "COM1", "--baud", "19.2K", "--format", "3", "--timer", "50ms"});
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const auto& c = commands[i];
            Ok({"add", project, "COM1", std::to_string(i + 1), c[0], "--slave", c[1], "--start",
                c[2], "--qty", c[3]});
        }
        return project;
    }
};

#define SKIP_WITHOUT_PTY(slave) \
    if (!(slave).problem.empty()) GTEST_SKIP() << (slave).problem

TEST_F(PollCli, OneRoundReportsEachCommandAsTheSlaveAnswered)
{
    PtySlave slave;
    SKIP_WITHOUT_PTY(slave);
    const std::string project = Project({{"03", "1", "0", "3"},
                                         {"01", "1", "0", "10"},
                                         {"10", "1", "5", "2"},
                                         {"03", "7", "0", "1"},
                                         {"03", "1", "100", "2"},
                                         {"03", "9", "0", "1"},
                                         {"06", "1", "0", "1"}});
    const RunResult r = Ctl({"poll", project, "COM1", "--serial", slave.device, "--timeout", "300",
                             "--write", "3=7,0x0102"});
    EXPECT_EQ(r.exitCode, 1) << r.err;  // slaves 7 and 9 and the exception
    const std::vector<std::string> lines = {
        "COM1 on " + slave.device + ": 19200 baud 8N2, 7 command(s), time-out 300 ms",
        "slot 1 读4区 03H slave 1 start 0 qty 3 [eipIN 2..7]: 100 (0x0064) 101 (0x0065) 102 "
        "(0x0066)",
        "slot 2 读0区 01H slave 1 start 0 qty 10 [eipIN 8..9]: 1 0 0 1 0 0 1 0 0 1",
        "slot 3 写4区 10H 写多字 slave 1 start 5 qty 2 [eipOUT 2..5]: written 7 (0x0007) 258 "
        "(0x0102)",
        "slot 4 读4区 03H slave 7 start 0 qty 1 [eipIN 10..11]: no answer in 300 ms",
        "slot 5 读4区 03H slave 1 start 100 qty 2 [eipIN 12..15]: exception 02 illegal data "
        "address",
        "slot 6 读4区 03H slave 9 start 0 qty 1 [eipIN 16..17]: CRC error",
        "slot 7 写4区 06H 写单字 slave 1 start 0 qty 1 [eipOUT 6..7]: skipped (no --write value)",
    };
    std::string expected;
    for (const auto& line : lines) expected += line + "\n";
    EXPECT_EQ(r.out, expected);
    ASSERT_TRUE(slave.WaitForLine("read 3 start 100 qty 2\n")) << slave.Output();
    EXPECT_NE(slave.Output().find("line 19200 baud, 2 stop bits\nread 3 start 0 qty 3\n"
                                  "read 1 start 0 qty 10\nwrote 16 start 5 qty 2 7 258\n"),
              std::string::npos)
        << slave.Output();
    EXPECT_EQ(slave.Output().find("wrote 6"), std::string::npos)
        << "a write without value was sent";
}

TEST_F(PollCli, RoundsZeroPollsUntilInterruptedThenSumsUp)
{
    PtySlave slave;
    SKIP_WITHOUT_PTY(slave);
    const std::string project = Project({{"03", "1", "0", "1"}, {"03", "7", "0", "1"}});
    clitest::SimProcess poll({clitest::VARNELCTL, "poll", project, "COM1", "--serial", slave.device,
                              "--rounds", "0", "--timeout", "100"});
    // A round ends with slot 2 and the next one begins.
    ASSERT_TRUE(poll.WaitForLine("slave 7 start 0 qty 1 [eipIN 4..5]: no answer in 100 ms\nslot 1"))
        << poll.Output();
    EXPECT_EQ(poll.Stop(SIGINT), 1);
    EXPECT_TRUE(poll.WaitForLine("summary:\n  slot 1 读4区 03H slave 1: ")) << poll.Output();
    EXPECT_TRUE(poll.WaitForLine(
        " 0 exceptions, 0 time-outs, 0 errors\n  slot 2 读4区 03H slave 7: 0 answered"))
        << poll.Output();
}

TEST_F(PollCli, DeviceAndUsageFailures)
{
    const std::string project = Project({{"06", "1", "0", "1"}});
    struct Row {
        std::vector<std::string> extra;
        int exitCode;
        std::string err;
    } rows[] = {
        {{"--serial", Path("no-such-tty")},
         1,
         "cannot open " + Path("no-such-tty") + ": No such file"},
        {{"--serial", "/dev/null"}, 1, "cannot configure /dev/null: Inappropriate ioctl"},
        {{}, 2, "missing --serial DEVICE"},
        {{"--serial", "/dev/null", "--write", "2=1"}, 2, "slot 2 holds no write command of COM1"},
        {{"--serial", "/dev/null", "--write", "1=70000"}, 2, "bad value '70000'"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args{"poll", project, "COM1"};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        const RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, row.exitCode) << row.err << "\n" << r.err;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(PollCli, SimulatorRunsTheDownloadedCommandsOnItsSerialPort)
{
    PtySlave slave;
    SKIP_WITHOUT_PTY(slave);
    const std::string project =
        Project({{"03", "1", "0", "3"}, {"01", "1", "0", "10"}, {"10", "1", "5", "2"}});
    clitest::SimProcess sim("127.62.0.1", {"--print-state", "--com1", slave.device, "--set-output",
                                           "COM1=0000"
                                           "0007"
                                           "0102"});
    ASSERT_TRUE(sim.WaitForLine("listening on")) << sim.Output();
    const RunResult r = Ctl({"download", project, "--ip", "127.62.0.1", "--restart"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Registers at 2..7 high byte first, coils at 8..9 with coil 0 in bit 0.
    EXPECT_TRUE(sim.WaitForLine("\"input\":\"00 00 00 64 00 65 00 66 49 02\"")) << sim.Output();
    // The write command takes output bytes 2..5.
    EXPECT_TRUE(slave.WaitForLine("wrote 16 start 5 qty 2 7 258\n")) << slave.Output();
}

}  // namespace
