// varnelctl end to end: build a configuration, inspect it, compile it.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

using testsupport::RunResult;

namespace {

class Varnelctl : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::MakeHome(home.path());
        project = (home / "p.json").string();
        ASSERT_EQ(Ctl({"new", project}).exitCode, 0);
    }
    RunResult Ctl(std::vector<std::string> args)
    {
        return testsupport::Run(std::string(VARNEL_BIN_DIR) + "/varnelctl", args,
                   {"VARNEL_HOME=" + home.str(), "LC_ALL=C"});
    }
    testsupport::TempDir home;
    std::string project;
};

TEST_F(Varnelctl, BuildShowAndCompileAConfiguration)
{
    ASSERT_EQ(Ctl({"setup-port", project, "COM1"}).exitCode, 0);
    ASSERT_EQ(Ctl({"add", project, "COM1", "1", "读4区 03H", "--slave", "1", "--qty", "10"}).exitCode, 0);
    ASSERT_EQ(Ctl({"add", project, "COM1", "2", "0x10", "--slave", "1", "--start", "100", "--qty", "10"}).exitCode, 0);
    ASSERT_EQ(Ctl({"serial", project, "COM1", "--monitor", "3", "--baud", "19.2K", "--update", "1"}).exitCode, 0);
    RunResult show = Ctl({"show", project});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_NE(show.out.find("AllInLength: 22  AllOutLength: 22"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("eipIN 2..21"), std::string::npos);
    EXPECT_NE(show.out.find("eipOUT 2..21"), std::string::npos);
    EXPECT_NE(show.out.find("19.2K"), std::string::npos);
    EXPECT_NE(show.out.find("At Evry MD End"), std::string::npos);

    RunResult compile = Ctl({"compile", project});
    ASSERT_EQ(compile.exitCode, 0) << compile.err;
    EXPECT_NE(compile.out.find("image: 47 bytes"), std::string::npos) << compile.out;
    const std::string hex = testsupport::ReadFile(home / "HEX" / "hex.txt");
    EXPECT_EQ(hex.substr(0, 24), "01 00 22 06 00 03 42 14 ");
    RunResult stdoutHex = Ctl({"compile", project, "-o", "-"});
    EXPECT_EQ(stdoutHex.out, hex);
    // Compiling never rewrites the project: the status table is not saved.
    RunResult again = Ctl({"show", project});
    EXPECT_EQ(again.out, show.out);
}

TEST_F(Varnelctl, RefusalsPrintTheSystemTextAndExitOne)
{
    ASSERT_EQ(Ctl({"setup-port", project, "COM2"}).exitCode, 0);
    ASSERT_EQ(Ctl({"add", project, "COM2", "1", "10", "--slave", "1", "--start", "100", "--qty", "10"}).exitCode, 0);
    const std::string before = testsupport::ReadFile(project);
    const struct {
        std::vector<std::string> args;
        const char* text;
    } cases[] = {
        {{"add", project, "COM2", "2", "06", "--slave", "1", "--start", "109"}, "写操作重叠"},
        {{"add", project, "COM2", "2", "03", "--start", "65536"}, "起始地址信息错误"},
        {{"add", project, "COM2", "2", "03", "--qty", "126"}, "长度请添入一个1和125之间的整数"},
        {{"add", project, "COM2", "11", "03"}, "槽号 11"},
        {{"edit", project, "COM2", "1", "--qty", "124"}, "长度请添入一个1和123之间的整数"},
        {{"edit", project, "COM2", "2"}, "没有可编辑的命令"},
        {{"slots", project, "55"}, "槽数取值范围:1~54的正整数"},
        {{"delete", project, "COM1"}, "COM1 未配置"},
        {{"delete", project, "COM2:5"}, "是空的"},
        {{"serial", project, "COM1", "--baud", "9600"}, "COM1 未配置"},
        {{"show", (home / "missing.json").string()}, "missing.json"},
        {{"show", (home / "p.txt").string()}, ".vrc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        RunResult r = Ctl(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
        EXPECT_EQ(testsupport::ReadFile(project), before);
    }
    RunResult caption = Ctl({"add", project, "COM2", "2", "03", "--slave", "300"});
    EXPECT_NE(caption.err.find("从站地址取值范围:0-255"), std::string::npos);
}

TEST_F(Varnelctl, StepARefusalStopsTheCompile)
{
    ASSERT_EQ(Ctl({"slots", project, "2"}).exitCode, 0);
    ASSERT_EQ(Ctl({"setup-port", project, "COM1"}).exitCode, 0);
    ASSERT_EQ(Ctl({"add", project, "COM1", "1", "01"}).exitCode, 0);
    ASSERT_EQ(Ctl({"add", project, "COM1", "2", "02"}).exitCode, 0);
    RunResult r = Ctl({"compile", project});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("从站状态检测需要占用插槽"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(home / "HEX" / "hex.txt"));
}

TEST_F(Varnelctl, EditDeleteSlotsAndIp)
{
    ASSERT_EQ(Ctl({"setup-port", project, "COM1"}).exitCode, 0);
    ASSERT_EQ(Ctl({"add", project, "COM1", "1", "01", "--qty", "8"}).exitCode, 0);
    ASSERT_EQ(Ctl({"add", project, "COM1", "2", "05", "--start", "3"}).exitCode, 0);
    ASSERT_EQ(Ctl({"edit", project, "COM1", "1", "--qty", "17"}).exitCode, 0);
    EXPECT_NE(Ctl({"show", project}).out.find("eipIN 2..4"), std::string::npos);
    ASSERT_EQ(Ctl({"delete", project, "COM1:1"}).exitCode, 0);
    RunResult show = Ctl({"show", project});
    EXPECT_EQ(show.out.find("读0区"), std::string::npos);
    EXPECT_NE(show.out.find("写0区 05H"), std::string::npos);
    ASSERT_EQ(Ctl({"ip", project, "10.0.0.7"}).exitCode, 0);
    ASSERT_EQ(Ctl({"slots", project, "054"}).exitCode, 0);
    show = Ctl({"show", project});
    EXPECT_NE(show.out.find("deviceIp: 10.0.0.7"), std::string::npos);
    EXPECT_NE(show.out.find("deviceSlotNum: 54"), std::string::npos);
    ASSERT_EQ(Ctl({"delete", project, "COM1"}).exitCode, 0);
    EXPECT_NE(Ctl({"show", project}).out.find("no port configured"), std::string::npos);
    EXPECT_EQ(Ctl({"ip", project, "10.0.0.256"}).exitCode, 2);
}

TEST_F(Varnelctl, ExportImportRoundTripAndUsageErrors)
{
    ASSERT_EQ(Ctl({"setup-port", project, "COM2"}).exitCode, 0);
    const std::string json = (home / "out.json").string();
    const std::string copy = (home / "copy.json").string();
    ASSERT_EQ(Ctl({"export", project, "-o", json}).exitCode, 0);
    ASSERT_EQ(Ctl({"import", json, "-o", copy}).exitCode, 0);
    EXPECT_EQ(testsupport::ReadFile(copy), testsupport::ReadFile(project));
    EXPECT_EQ(Ctl({}).exitCode, 2);
    EXPECT_EQ(Ctl({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(Ctl({"add", project, "COM3", "1", "03"}).exitCode, 2);
    EXPECT_EQ(Ctl({"add", project, "COM1", "1", "99"}).exitCode, 2);
    EXPECT_EQ(Ctl({"serial", project, "COM2", "--baud", "7"}).exitCode, 0);
    EXPECT_EQ(Ctl({"serial", project, "COM2", "--baud", "9"}).exitCode, 2);
    EXPECT_EQ(Ctl({"export", project}).exitCode, 2);
}

}  // namespace
