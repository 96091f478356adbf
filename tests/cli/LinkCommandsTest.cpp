// varnelctl download, clear, restart and decode end to end against the
// gateway simulator, each test on its own loopback address.
#include <nlohmann/json.hpp>

#include "cli/CliTestSupport.h"
#include "core/image/HexFile.h"
#include "core/model/AppFolder.h"
#include "core/model/CVarnelDoc.h"
#include "core/model/OptionFile.h"

using clitest::SimProcess;
using testsupport::ReadFile;
using testsupport::RunResult;

namespace {

const std::string DONE = "下 载 完 毕！\n";

// A data folder without option file and a project with two commands on COM1.
class LinkCli : public clitest::CliTest {
protected:
    void SetUp() override
    {
        testsupport::MakeHome(home.path(), "");
        project = Path("p.json");
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"new", project},
              {"setup-port", project, "COM1"},
              {"add", project, "COM1", "1", "读4区 03H", "--slave", "3", "--qty", "12"},
              {"add", project, "COM1", "2", "0x10", "--slave", "4", "--qty", "2"},
              {"serial", project, "COM1", "--monitor", "4"}})
            Ok(args);
    }
    // A hex file of `size` bytes (not a sound image; the gateway joins it anyway).
    std::string HexFile(std::size_t size)
    {
        varnel::Bytes image(size);
        for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 5);
        const std::string path = Path("image" + std::to_string(size) + ".txt");
        testsupport::WriteFile(path, varnel::FormatHexText(image));
        return path;
    }
    std::string project;
};

TEST_F(LinkCli, DownloadAndRestartRunTheCompiledConfiguration)
{
    const std::string state = Path("state.json");
    SimProcess sim("127.61.0.1", {"--state-file", state});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    const RunResult r = Ctl({"download", project, "--ip", "127.61.0.1", "--restart"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, DONE);
    ASSERT_TRUE(sim.WaitForLine("restarted with the downloaded configuration")) << sim.Output();
    const auto json = nlohmann::json::parse(ReadFile(state));
    EXPECT_EQ(json["running"].get<std::string>(), ReadFile(home / "HEX" / "hex.txt"));
    const RunResult decoded = Ctl({"decode", Path("HEX/hex.txt")});
    EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
    EXPECT_EQ(json["configuration"].get<std::string>(), decoded.out);
    EXPECT_NE(decoded.out.find("读4区 03H, slave 3, start 0, quantity 12"), std::string::npos);
    EXPECT_NE(decoded.out.find("MODBUS从站状态表（16字节）"), std::string::npos);
}

TEST_F(LinkCli, DownloadsWithoutRestartThenALaterRestart)
{
    SimProcess sim("127.61.0.2", {"--print-state"});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    RunResult r = Ctl({"download", "--hex", HexFile(2401), "--ip", "127.61.0.2", "--no-restart"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(sim.WaitForLine("piece 3: 1 bytes, 2401 in all")) << sim.Output();
    EXPECT_NE(sim.Output().find("piece 1: 1200 bytes, 1200 in all"), std::string::npos);
    EXPECT_NE(sim.Output().find("piece 2: 1200 bytes, 2400 in all"), std::string::npos);
    for (const char* flag : {"--no-restart", ""}) {
        // Without a flag and without a terminal the question is answered No.
        std::vector<std::string> args{"download", project, "--ip", "127.61.0.2"};
        if (*flag) args.push_back(flag);
        r = Ctl(args, "y\n");
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, DONE);
    }
    ASSERT_TRUE(sim.WaitForLine("connection closed"));
    EXPECT_EQ(sim.Output().find("restart requested"), std::string::npos) << sim.Output();

    r = Ctl({"restart", "--ip", "127.61.0.2", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    ASSERT_TRUE(sim.WaitForLine("restarted with the downloaded configuration")) << sim.Output();
    const std::string hex = ReadFile(home / "HEX" / "hex.txt");
    EXPECT_NE(sim.Output().find("\"running\":\"" + hex + "\""), std::string::npos);
}

struct Row {
    const char* name;
    const char* address;
    std::vector<std::string> simFlags;
    const char* command;
    const char* err;          // "" = the download succeeds
    const char* ready = "";   // the simulator's line that says it is ready, if not the first
};

class LinkCliRows : public LinkCli, public ::testing::WithParamInterface<Row> {};

// Each failure row gives its message and exit 1, nothing on stdout and no restart.
TEST_P(LinkCliRows, PrintTheSystemText)
{
    const Row& c = GetParam();
    SimProcess sim(c.address, c.simFlags);
    ASSERT_TRUE(sim.WaitForLine(*c.ready ? c.ready : "on " + std::string(c.address)));
    const std::string command = c.command;
    const bool ok = !*c.err;
    const RunResult r = command == "download"
                            ? Ctl({"download", "--hex", HexFile(2400), "--ip", c.address,
                                   ok ? "--no-restart" : "--restart"})
                            : Ctl({command, "--ip", c.address, "--yes"});
    EXPECT_EQ(r.exitCode, ok ? 0 : 1);
    EXPECT_EQ(r.err, ok ? "" : std::string(c.err) + "\n");
    EXPECT_EQ(r.out, ok ? DONE : "");
    if (!ok) {
        EXPECT_EQ(sim.Output().find("restart requested"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LinkCliRows,
    ::testing::Values(
        Row{"refused", "127.61.1.1", {"--refuse"}, "download",
            "以太网连接不通,请检查IP和PORT设置和设备是否正常运行"},
        Row{"acceptDelayed", "127.61.1.2", {"--delay-accept", "4500"}, "download",
            "连接超时,请检查IP和PORT设置和设备是否正常运行", "holding connections"},
        Row{"neverAnswers", "127.61.1.3", {"--never-answer"}, "download", "主站没有响应"},
        Row{"answersC0", "127.61.1.4", {"--answer-failure"}, "download", "下 载 失 败！"},
        Row{"answersGarbage", "127.61.1.5", {"--answer-garbage"}, "download", "下 载 失 败！"},
        Row{"splitAnswer", "127.61.1.6", {"--split-answer"}, "download", "下 载 失 败！"},
        Row{"closesMidway", "127.61.1.7", {"--close-after", "1"}, "download", "发送失败"},
        Row{"bytesAfterAnswersDropped", "127.61.2.1", {"--trailing-bytes"}, "download", ""},
        Row{"clearAnswersC0", "127.61.4.1", {"--answer-failure"}, "clear", "清除配置失败"},
        Row{"restartRefused", "127.61.4.2", {"--refuse"}, "restart",
            "以太网连接不通,请检查IP和PORT设置和设备是否正常运行"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkCli, NothingIsSentWhenTheCompileOrTheFileRefuses)
{
    SimProcess sim("127.61.2.2", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    const RunResult missing = Ctl({"download", "--hex", Path("none.txt"), "--ip", "127.61.2.2"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "你选择了下载空文件\n");
    // A full rack leaves no slot for the status table: the compile refuses.
    ASSERT_EQ(Ctl({"slots", project, "2"}).exitCode, 0);
    const RunResult full = Ctl({"download", project, "--ip", "127.61.2.2", "--restart"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.err, "从站状态检测需要占用插槽\n");
    EXPECT_EQ(sim.Output().find("connection from"), std::string::npos);
}

TEST_F(LinkCli, ClearAndDeclinedClear)
{
    SimProcess sim("127.61.3.1", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    const RunResult clear = Ctl({"clear", "--ip", "127.61.3.1", "--yes"});
    EXPECT_EQ(clear.exitCode, 0) << clear.err;
    EXPECT_EQ(clear.out, "清除配置完成\n");
    EXPECT_TRUE(sim.WaitForLine("configuration cleared"));
    // Without --yes and without a terminal the answer is No: no connection.
    ASSERT_TRUE(sim.WaitForLine("connection closed"));
    const std::size_t before = sim.Output().size();
    const RunResult declined = Ctl({"clear", "--ip", "127.61.3.1"}, "y\n");
    EXPECT_EQ(declined.exitCode, 1);
    EXPECT_EQ(declined.out, "");
    EXPECT_EQ(sim.Output().find("connection from", before), std::string::npos);
}

// Without --ip, clear and download --hex take the option file's address.
TEST_F(LinkCli, WithoutIpTheOptionFileAddressIsUsed)
{
    testsupport::MakeHome(home.path(), "127.61.6.1");
    // Never dial the built-in default, which is no loopback address: go on
    // only where a new document takes the option file's address.
    setenv("VARNEL_HOME", home.str().c_str(), 1);
    varnel::CVarnelDoc doc;
    doc.appFolder = varnel::ProgramDataFolder();
    doc.OnNewDocument();
    varnel::ReadAccessAddress(doc);
    unsetenv("VARNEL_HOME");
    if (doc.deviceIp != "127.61.6.1") GTEST_SKIP() << "new documents ignore the option file";
    SimProcess sim("127.61.6.1", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    const RunResult clear = Ctl({"clear", "--yes"});
    EXPECT_EQ(clear.exitCode, 0) << clear.err;
    EXPECT_EQ(clear.out, "清除配置完成\n");
    const RunResult hex = Ctl({"download", "--hex", HexFile(10), "--no-restart"});
    EXPECT_EQ(hex.exitCode, 0) << hex.err;
    EXPECT_TRUE(sim.WaitForLine("piece 1: 10 bytes"));
}

TEST_F(LinkCli, DecodeSaysWhatIsWrong)
{
    ASSERT_EQ(Ctl({"compile", project}).exitCode, 0);
    std::string hex = ReadFile(home / "HEX" / "hex.txt");
    hex[1] = hex[1] == '1' ? '3' : '1';  // the port flags byte changes
    testsupport::WriteFile(home / "bad.txt", hex);
    const RunResult r = Ctl({"decode", Path("bad.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("checksum: the image says"), std::string::npos) << r.err << r.out;
    const RunResult missing = Ctl({"decode", Path("none.txt")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("none.txt"), std::string::npos);
}

}  // namespace
