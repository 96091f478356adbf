// varnelctl download, clear, restart and decode end to end against the
// gateway simulator, each test on its own loopback address.
#include <gtest/gtest.h>

#include <cstdlib>

#include <nlohmann/json.hpp>

#include "cli/SimProcess.h"
#include "core/model/CVarnelDoc.h"
#include "support/TestSupport.h"

using testsupport::RunResult;

namespace {

const char* const DONE = "下 载 完 毕！";

class LinkCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::MakeHome(home.path(), "");
        project = (home / "p.json").string();
        ASSERT_EQ(Ctl({"new", project}).exitCode, 0);
        ASSERT_EQ(Ctl({"setup-port", project, "COM1"}).exitCode, 0);
        ASSERT_EQ(Ctl({"add", project, "COM1", "1", "读4区 03H", "--slave", "3", "--qty", "12"})
                      .exitCode,
                  0);
        ASSERT_EQ(Ctl({"add", project, "COM1", "2", "0x10", "--slave", "4", "--qty", "2"}).exitCode,
                  0);
        ASSERT_EQ(Ctl({"serial", project, "COM1", "--monitor", "4"}).exitCode, 0);
    }
    RunResult Ctl(std::vector<std::string> args, const std::string& input = {})
    {
        return testsupport::Run(std::string(VARNEL_BIN_DIR) + "/varnelctl", args,
                                {"VARNEL_HOME=" + home.str(), "LC_ALL=C"}, input);
    }
    // A hex file of `size` bytes (not a sound image; the gateway joins it anyway).
    std::string HexFile(std::size_t size)
    {
        std::string text;
        char buf[4];
        for (std::size_t i = 0; i < size; ++i) {
            std::snprintf(buf, sizeof buf, "%02x ", static_cast<unsigned>(i * 5 % 256));
            text += buf;
        }
        const auto path = home / ("image" + std::to_string(size) + ".txt");
        testsupport::WriteFile(path, text);
        return path.string();
    }
    testsupport::TempDir home;
    std::string project;
};

TEST_F(LinkCli, DownloadAndRestartRunTheCompiledConfiguration)
{
    const std::string state = (home / "state.json").string();
    simtest::SimProcess sim("127.61.0.1", {"--state-file", state});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    RunResult r = Ctl({"download", project, "--ip", "127.61.0.1", "--restart"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::string(DONE) + "\n");
    ASSERT_TRUE(sim.WaitForLine("restarted with the downloaded configuration")) << sim.Output();
    const auto json = nlohmann::json::parse(testsupport::ReadFile(state));
    const std::string hex = testsupport::ReadFile(home / "HEX" / "hex.txt");
    EXPECT_EQ(json["running"].get<std::string>(), hex);
    RunResult decoded = Ctl({"decode", (home / "HEX" / "hex.txt").string()});
    EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
    EXPECT_EQ(json["configuration"].get<std::string>(), decoded.out);
    EXPECT_NE(decoded.out.find("读4区 03H, slave 3, start 0, quantity 12"), std::string::npos);
    EXPECT_NE(decoded.out.find("MODBUS从站状态表（16字节）"), std::string::npos);
}

TEST_F(LinkCli, WithoutRestartNothingMoreGoesOut)
{
    simtest::SimProcess sim("127.61.0.2", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    for (const std::vector<std::string>& flags :
         {std::vector<std::string>{"--no-restart"}, std::vector<std::string>{}}) {
        std::vector<std::string> args{"download", project, "--ip", "127.61.0.2"};
        args.insert(args.end(), flags.begin(), flags.end());
        RunResult r = Ctl(args, "y\n");  // no terminal: the question is answered No
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, std::string(DONE) + "\n");
    }
    ASSERT_TRUE(sim.WaitForLine("connection closed"));
    EXPECT_EQ(sim.Output().find("restart"), std::string::npos) << sim.Output();
}

TEST_F(LinkCli, ALaterRestartRunsTheStoredDownload)
{
    simtest::SimProcess sim("127.61.0.4", {"--print-state"});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    RunResult r = Ctl({"download", project, "--ip", "127.61.0.4", "--no-restart"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    RunResult restart = Ctl({"restart", "--ip", "127.61.0.4", "--yes"});
    EXPECT_EQ(restart.exitCode, 0) << restart.err;
    ASSERT_TRUE(sim.WaitForLine("restarted with the downloaded configuration")) << sim.Output();
    const std::string hex = testsupport::ReadFile(home / "HEX" / "hex.txt");
    EXPECT_NE(sim.Output().find("\"running\":\"" + hex + "\""), std::string::npos)
        << sim.Output();
}

TEST_F(LinkCli, HexFileDownloadArrivesInPieces)
{
    simtest::SimProcess sim("127.61.0.3", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    RunResult r = Ctl({"download", "--hex", HexFile(2401), "--ip", "127.61.0.3", "--no-restart"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(sim.WaitForLine("piece 3: 1 bytes, 2401 in all")) << sim.Output();
    EXPECT_NE(sim.Output().find("piece 1: 1200 bytes, 1200 in all"), std::string::npos);
    EXPECT_NE(sim.Output().find("piece 2: 1200 bytes, 2400 in all"), std::string::npos);
}

struct FailureRow {
    const char* name;
    const char* address;
    std::vector<std::string> simFlags;
    const char* text;
};

void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }

class LinkCliFailure : public LinkCli, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(LinkCliFailure, PrintsTheMessageAndExitsOne)
{
    const FailureRow& c = GetParam();
    simtest::SimProcess sim(c.address, c.simFlags);
    ASSERT_TRUE(sim.WaitForLine(c.simFlags.size() && c.simFlags[0] == "--refuse" ? "refusing"
                                                                                 : "listening"));
    RunResult r = Ctl({"download", "--hex", HexFile(2400), "--ip", c.address, "--restart"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, std::string(c.text) + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(sim.Output().find("restart requested"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LinkCliFailure,
    ::testing::Values(
        FailureRow{"refused", "127.61.1.1", {"--refuse"},
                   "以太网连接不通,请检查IP和PORT设置和设备是否正常运行"},
        FailureRow{"acceptDelayed", "127.61.1.2", {"--delay-accept", "4500"},
                   "连接超时,请检查IP和PORT设置和设备是否正常运行"},
        FailureRow{"neverAnswers", "127.61.1.3", {"--never-answer"}, "主站没有响应"},
        FailureRow{"answersC0", "127.61.1.4", {"--answer-failure"}, "下 载 失 败！"},
        FailureRow{"answersGarbage", "127.61.1.5", {"--answer-garbage"}, "下 载 失 败！"},
        FailureRow{"splitAnswer", "127.61.1.6", {"--split-answer"}, "下 载 失 败！"},
        FailureRow{"closesMidway", "127.61.1.7", {"--close-after", "1"}, "发送失败"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkCli, BytesAfterAnswersAreDropped)
{
    simtest::SimProcess sim("127.61.2.1", {"--trailing-bytes"});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    RunResult r = Ctl({"download", "--hex", HexFile(2400), "--ip", "127.61.2.1", "--no-restart"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::string(DONE) + "\n");
}

TEST_F(LinkCli, NothingIsSentWhenTheCompileOrTheFileRefuses)
{
    simtest::SimProcess sim("127.61.2.2", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    RunResult missing =
        Ctl({"download", "--hex", (home / "none.txt").string(), "--ip", "127.61.2.2"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "你选择了下载空文件\n");
    // A full rack leaves no slot for the status table: the compile refuses.
    ASSERT_EQ(Ctl({"slots", project, "2"}).exitCode, 0);
    RunResult full = Ctl({"download", project, "--ip", "127.61.2.2", "--restart"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.err, "从站状态检测需要占用插槽\n");
    EXPECT_EQ(sim.Output().find("connection from"), std::string::npos);
}

TEST_F(LinkCli, ClearAndRestart)
{
    simtest::SimProcess sim("127.61.3.1", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    RunResult clear = Ctl({"clear", "--ip", "127.61.3.1", "--yes"});
    EXPECT_EQ(clear.exitCode, 0) << clear.err;
    EXPECT_EQ(clear.out, "清除配置完成\n");
    EXPECT_TRUE(sim.WaitForLine("configuration cleared"));
    RunResult restart = Ctl({"restart", "--ip", "127.61.3.1", "--yes"});
    EXPECT_EQ(restart.exitCode, 0) << restart.err;
    EXPECT_EQ(restart.out, "");
    EXPECT_TRUE(sim.WaitForLine("restarted"));
    // Without --yes and without a terminal the answer is No: no connection.
    ASSERT_TRUE(sim.WaitForLine("listening on 127.61.3.1:60000\n"));
    const std::size_t before = sim.Output().size();
    RunResult declined = Ctl({"clear", "--ip", "127.61.3.1"}, "y\n");
    EXPECT_EQ(declined.exitCode, 1);
    EXPECT_EQ(declined.out, "");
    EXPECT_EQ(sim.Output().find("connection from", before), std::string::npos);
}

TEST_F(LinkCli, ClearFailuresPrintTheSystemText)
{
    struct Case {
        const char* address;
        std::vector<std::string> flags;
        const char* command;
        const char* text;
    };
    const Case cases[] = {
        {"127.61.4.1", {"--answer-failure"}, "clear", "清除配置失败\n"},
        {"127.61.4.2", {"--refuse"}, "restart",
         "以太网连接不通,请检查IP和PORT设置和设备是否正常运行\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        simtest::SimProcess sim(c.address, c.flags);
        ASSERT_TRUE(sim.WaitForLine("on " + std::string(c.address)));
        RunResult r = Ctl({c.command, "--ip", c.address, "--yes"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, c.text);
        EXPECT_EQ(r.out, "");
    }
}

// Without --ip, clear, restart and download --hex take the option file's
// address.
TEST_F(LinkCli, WithoutIpTheOptionFileAddressIsUsed)
{
    testsupport::MakeHome(home.path(), "127.61.6.1");
    {
        // Never dial the built-in default, which is no loopback address: go
        // on only where a new document takes the option file's address.
        setenv("VARNEL_HOME", home.str().c_str(), 1);
        varnel::CVarnelDoc doc;
        doc.OnNewDocument();
        unsetenv("VARNEL_HOME");
        if (doc.deviceIp != "127.61.6.1")
            GTEST_SKIP() << "new documents do not read the option file in this build";
    }
    simtest::SimProcess sim("127.61.6.1", {});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    RunResult clear = Ctl({"clear", "--yes"});
    EXPECT_EQ(clear.exitCode, 0) << clear.err;
    EXPECT_EQ(clear.out, "清除配置完成\n");
    RunResult hex = Ctl({"download", "--hex", HexFile(10), "--no-restart"});
    EXPECT_EQ(hex.exitCode, 0) << hex.err;
    EXPECT_TRUE(sim.WaitForLine("piece 1: 10 bytes"));
}

TEST_F(LinkCli, DecodeSaysWhatIsWrong)
{
    ASSERT_EQ(Ctl({"compile", project}).exitCode, 0);
    std::string hex = testsupport::ReadFile(home / "HEX" / "hex.txt");
    hex[1] = hex[1] == '1' ? '3' : '1';  // the port flags byte changes
    testsupport::WriteFile(home / "bad.txt", hex);
    RunResult r = Ctl({"decode", (home / "bad.txt").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("checksum: the image says"), std::string::npos) << r.err << r.out;
    RunResult missing = Ctl({"decode", (home / "none.txt").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("none.txt"), std::string::npos);
}
}  // namespace
