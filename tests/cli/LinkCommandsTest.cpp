// varnelctl download, clear, restart and decode against the gateway
// simulator: one download that works, and the failures only the command line
// has (its exit codes, its reasons, its address rule).
#include "cli/CliTestSupport.h"
#include "core/image/HexFile.h"
#include "core/model/AppFolder.h"
#include "core/model/CVarnelDoc.h"
#include "core/project/OptionFile.h"

using clitest::SimProcess;
using testsupport::ReadFile;
using testsupport::RunResult;

namespace {

const std::string GOLDEN = VARNEL_SOURCE_DIR "/tests/data/image/com1-status-table/";
const std::string NOT_RESTARTED =
    "the gateway was not restarted: the new configuration takes "
    "effect after a restart (varnelctl restart)\n";

class LinkCli : public clitest::CliTest {
protected:
    void SetUp() override { testsupport::MakeHome(home.path(), ""); }
};

TEST_F(LinkCli, CompileDecodeAndDownloadTheGoldenProject)
{
    const RunResult compiled = Ctl({"compile", GOLDEN + "project.json", "-o", "-"});
    EXPECT_EQ(compiled.out, ReadFile(GOLDEN + "expected.hex"));
    EXPECT_EQ(Ctl({"decode", GOLDEN + "expected.hex"}).out, ReadFile(GOLDEN + "decode.txt"));

    SimProcess sim("127.61.0.1", {"--print-state"});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    // Without a terminal and without --restart the restart question is No.
    RunResult r = Ctl({"download", GOLDEN + "project.json", "--ip", "127.61.0.1"}, "y\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "下 载 完 毕！\n" + NOT_RESTARTED);
    EXPECT_EQ(ReadFile(home / "HEX" / "hex.txt"), ReadFile(GOLDEN + "expected.hex"));
    testsupport::MakeHome(home.path(), "127.61.0.1");  // without --ip: the option file's address
    r = Ctl({"restart", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "the gateway answered 40 0c: it restarts\n");
    ASSERT_TRUE(sim.WaitForLine("restarted with the downloaded configuration")) << sim.Output();
}

TEST_F(LinkCli, FailuresExitWithTheirReasonAndSendNothing)
{
    SimProcess sim("127.61.1.1", {"--answer-failure"});
    ASSERT_TRUE(sim.WaitForLine("listening on"));
    testsupport::WriteFile(home / "empty.txt", "");
    const std::string ip = "127.61.1.1";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    } rows[] = {
        {{"download", "--hex", VARNEL_SOURCE_DIR "/tests/data/image/refused-checksum/image.hex",
          "--ip", ip},
         1,
         "checksum: the image says"},
        {{"download", "--hex", Path("empty.txt"), "--ip", ip}, 1, "你选择了下载空文件"},
        {{"download", "--hex", Path("HEX"), "--ip", ip}, 1, "你选择了下载空文件"},
        {{"download", GOLDEN + "project.json", "--ip", "127.061.1.1"}, 2, "bad address"},
        {{"clear", "--ip", "256.1.1.1", "--yes"}, 2, "bad address"},
        {{"restart", "--ip", "1.2.3", "--yes"}, 2, "bad address"},
        {{"restart", "--ip", "", "--yes"}, 2, "bad address"},
        {{"clear", "--yes"}, 1, "设备IP地址错误"},  // the option file names no address
    };
    for (const auto& row : rows) {
        const RunResult r = Ctl(row.args);
        EXPECT_EQ(r.exitCode, row.exitCode) << row.args[2];
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(sim.Output().find("connection from"), std::string::npos);
    // The gateway refuses the restart: C0 0C is no success.
    const RunResult refused = Ctl({"restart", "--ip", ip, "--yes"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "重启设备失败\n");
    const RunResult listen = testsupport::Run(std::string(VARNEL_BIN_DIR) + "/varnel-gateway-sim",
                                              {"--listen", "127.0.0.01"}, {});
    EXPECT_EQ(listen.exitCode, 2);
    EXPECT_NE(listen.err.find("bad address"), std::string::npos);
}

}  // namespace
