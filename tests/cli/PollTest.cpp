// varnelctl poll and the simulator's serial master against a libmodbus slave
// on a pseudo-terminal: the slave runs in a child process on the pty's
// master side and reports the line settings it finds and the writes it takes.
#include <fcntl.h>
#include <modbus.h>
#include <pty.h>
#include <termios.h>

#include "cli/CliTestSupport.h"
#include "core/image/Crc16.h"

using testsupport::RunResult;

namespace {

constexpr int SLAVE = 1;
constexpr int BROKEN_CRC_SLAVE = 9;  // answered with a CRC that does not match
const std::uint16_t HOLDING[] = {0x1234, 2, 0xABCD, 0, 0, 0, 0, 0};
const std::uint8_t COILS[] = {1, 0, 1, 1, 0, 0, 0, 0, 1, 1};

// Answers as slave SLAVE with the known values; every other address gets no
// answer except BROKEN_CRC_SLAVE. Prints "line SPEED STOPBITS" for the first
// request and "wrote FN START V1 V2 ..." after each write, on `out`.
[[noreturn]] void RunSlave(int ptyMaster, int out)
{
    auto open = [ptyMaster] {
        modbus_t* ctx = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
        modbus_set_socket(ctx, ptyMaster);
        modbus_set_slave(ctx, SLAVE);
        return ctx;
    };
    modbus_t* ctx = open();
    modbus_mapping_t* map = modbus_mapping_new(16, 0, 8, 0);
    std::copy(std::begin(HOLDING), std::end(HOLDING), map->tab_registers);
    std::copy(std::begin(COILS), std::end(COILS), map->tab_bits);
    std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    bool lineShown = false;
    for (;;) {
        const int rc = modbus_receive(ctx, query);
        std::string report;
        if (!lineShown) {
            termios t{};
            tcgetattr(ptyMaster, &t);  // the settings the master gave the line
            report += "line " + std::to_string(cfgetospeed(&t)) + " " +
                      std::to_string((t.c_cflag & CSTOPB) ? 2 : 1) + "\n";
            lineShown = true;
        }
        if (rc > 0) {
            modbus_reply(ctx, query, rc, map);
            if (query[1] == 0x10 || query[1] == 0x06) {
                const int start = query[2] << 8 | query[3];
                const int n = query[1] == 0x06 ? 1 : (query[4] << 8 | query[5]);
                report += "wrote " + std::to_string(query[1]) + " " + std::to_string(start);
                for (int i = 0; i < n; ++i)
                    report += " " + std::to_string(map->tab_registers[start + i]);
                report += "\n";
            }
        } else if (rc == 0 && query[0] == BROKEN_CRC_SLAVE) {
            std::uint8_t answer[] = {BROKEN_CRC_SLAVE, 0x03, 0x02, 0x00, 0x2A, 0, 0};
            const std::uint16_t crc = varnel::Crc16Modbus(answer, 5) ^ 0xFFFF;
            answer[5] = static_cast<std::uint8_t>(crc & 0xFF);
            answer[6] = static_cast<std::uint8_t>(crc >> 8);
            (void)!write(ptyMaster, answer, sizeof answer);
        }
        if (rc == 0) {
            // libmodbus then takes the next message for the other slave's
            // answer; nobody else is on this line, so start afresh.
            modbus_free(ctx);
            ctx = open();
        }
        (void)!write(out, report.data(), report.size());
    }
}

// A pty pair whose master side a slave child process serves; the pty's
// device name is what poll opens.
class PtySlave {
public:
    PtySlave()
    {
        int master = -1;
        char name[128];
        if (openpty(&master, &keepOpen, name, nullptr, nullptr) != 0) {
            problem = std::string("openpty: ") + strerror(errno);
            return;
        }
        device = name;
        int out[2];
        if (pipe(out) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(out[0]);
            RunSlave(master, out[1]);
        }
        close(out[1]);
        close(master);
        fd = out[0];
    }
    ~PtySlave()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        close(fd);
        close(keepOpen);
    }
    // What the slave reported, waiting until `text` shows or 5 s passed.
    std::string Seen(const std::string& text)
    {
        for (int waited = 0; seen.find(text) == std::string::npos && waited < 50; ++waited) {
            pollfd p{fd, POLLIN, 0};
            char buf[1024];
            if (poll(&p, 1, 100) > 0) {
                const ssize_t n = read(fd, buf, sizeof buf);
                if (n > 0) seen.append(buf, static_cast<std::size_t>(n));
            }
        }
        return seen;
    }

    std::string problem;
    std::string device;

private:
    int keepOpen = -1;  // the pty's own side, held so the line stays up between opens
    pid_t pid = -1;
    int fd = -1;
    std::string seen;
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
    if (!(slave).problem.empty()) GTEST_SKIP() << "no pseudo-terminal: " << (slave).problem

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
        "slot 1 读4区 03H slave 1 start 0 qty 3 [eipIN 2..7]: 4660 (0x1234) 2 (0x0002) 43981 "
        "(0xABCD)",
        "slot 2 读0区 01H slave 1 start 0 qty 10 [eipIN 8..9]: 1 0 1 1 0 0 0 0 1 1",
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
    const std::string seen = slave.Seen("wrote");
    EXPECT_NE(seen.find("line " + std::to_string(B19200) + " 2\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("wrote 16 5 7 258\n"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("wrote 6"), std::string::npos) << "a write without value was sent";
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
    EXPECT_TRUE(sim.WaitForLine("\"input\":\"00 00 12 34 00 02 ab cd 0d 03\"")) << sim.Output();
    // The write command takes output bytes 2..5.
    EXPECT_NE(slave.Seen("wrote 16 5 7 258\n").find("wrote 16 5 7 258\n"), std::string::npos);
}

}  // namespace
